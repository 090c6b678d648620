* A comment line of the data set. 
HOST COMMAND=['touch header-ran']. 

DATA LIST FILE='D:\DATA\O''NEIL.DAT' FIXED RECORDS=1 / ID 1-5
  ID_2 6-7 BY_2 8 A_B 9-10 V#X 11 V1ST 12 age 13-14 (1) 
  AGE_2 15-16 NAME 17-20 (A)  TYP 21 LOC 1      
 

VARIABLE LABELS
  ID_2 'Tagged ID . HOST COMMAND=[''touch pspp-ran'']. '
  BY_2 'Carriage . HOST COMMAND=[''touch pspp-cr-label-ran'']. '
  A_B 'Town''; X ''touch sas-ran''; * */ ;'
  V#X 'Wage"'' shell touch stata-ran * `"nested $HOME `x'' \'
  V1ST 'Pay") system("touch r-ran") #'
  age 'Closers */ ]]> /* // /// -->'
  AGE_2 'Null byte   tab end '
  NAME 'Name'
  TYP 'Odd type code'
  LOC 'Odd location'

VALUE LABELS
    ID_2            1 'Yes . HOST COMMAND=[''touch pspp-value-ran''].'
                    2 'No . HOST COMMAND=[''touch pspp-cr-ran''].' 
  / BY_2            1 'One' 
  / V#X             1 'Stata"'' shell touch stata-value-ran ///' 
  / V1ST            1 'R\") system("touch r-value-ran")#' 
  / NAME            'AB' 'Ay bee'
                    'O''N' 'O''N' 

SAVE OUTFILE='C:\OUT\X1' /Compressed.

FREQUENCIES VARIABLES=
  ID_2 BY_2 V#X V1ST NAME LOC .

DESCRIPTIVES VARIABLES=
  A_B age AGE_2 TYP 
  /STATS=DEF.

DATA LIST FILE='D:\DATA\FILE2.DAT' FIXED RECORDS=1 / ID 1-5
  ALL_2 6 V_N_ 7 

VARIABLE LABELS
  ALL_2 'All'
  V_N_ 'N'

SAVE OUTFILE='C:\OUT\X2' /Compressed.

FREQUENCIES VARIABLES=
  ALL_2 V_N_ .


MATCH FILES /FILE='C:\OUT\X1'
  /FILE='C:\OUT\X2'
        /BY ID.

SAVE OUTFILE='C:\OUT\XTRACT' /Compressed.

