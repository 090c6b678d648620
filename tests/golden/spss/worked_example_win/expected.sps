* You will need to EDIT this code!  Please check all. 
* FILE=  and MATCH FILES statements. 

DATA LIST FILE='D:\DATA\FILE1.DAT' FIXED RECORDS=2 / ID 1-5
  AGE 6-7 STATE 8-9 (A)  /2  INCOME 1-8 (2)  

VARIABLE LABELS
  AGE 'Age of respondent'
  STATE 'State code'
  INCOME 'Total income'

VALUE LABELS
    AGE             1 'Under 30'
                    2 '30 or over' 
  / STATE           'AL' 'Alabama'
                    'AK' 'Alaska' 
  / INCOME          -1 '{Refused}' 

SAVE OUTFILE='C:\OUT\X1' /Compressed.

FREQUENCIES VARIABLES=
  AGE STATE .

DESCRIPTIVES VARIABLES=
  INCOME 
  /STATS=DEF.

