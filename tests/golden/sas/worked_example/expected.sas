***** You WILL need to edit this code *******; 
***** Check all PROC FORMAT statements ******; 
***** Check all MERGE statements ************; 
***** Check for unneeded semicolons *********; 

LIBNAME ZEL 'C:\OUT';

DATA X1;INFILE 'D:\DATA\FILE1.DAT' LRECL=1024 PAD;INPUT ID 1-5
  AGE 6-7 STATE $ 8-9 /  INCOME 1-8 .2 ;

LABEL
  AGE='Age of respondent'
  STATE='State code'
  INCOME='Total income';

PROC FORMAT;
 VALUE AGEF            1='Under 30'
                       2='30 or over';
 VALUE $STATEF         'AL'='Alabama'
                       'AK'='Alaska';
 VALUE INCOMEF         -1='{Refused}';

PROC FREQ;
FORMAT
  AGE AGEF. STATE $STATEF. ;

TABLES
  AGE STATE ;

PROC UNIVARIATE;VAR
  INCOME ;


RUN;