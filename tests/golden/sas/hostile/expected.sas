* A comment line of the data set; 
HOST COMMAND=['touch header-ran']; 

LIBNAME ZEL 'C:\OUT';

DATA X1;INFILE 'D:\DATA\O''NEIL.DAT' LRECL=1024 PAD;INPUT ID 1-5
  ID_2 6-7 BY 8 A_B 9-10 _X 11 V1ST 12 age 13-14 .1 
  AGE_2 15-16 NAME $ 17-20 TYP 21 LOC 1      ;

LABEL
  ID_2='Tagged ID . HOST COMMAND=[''touch pspp-ran'']. '
  BY='Carriage . HOST COMMAND=[''touch pspp-cr-label-ran'']. '
  A_B='Town''; X ''touch sas-ran''; * */ ;'
  _X='Wage"'' shell touch stata-ran * `"nested $HOME `x'' \'
  V1ST='Pay") system("touch r-ran") #'
  age='Closers */ ]]> /* // /// -->'
  AGE_2='Null byte   tab end '
  NAME='Name'
  TYP='Odd type code'
  LOC='Odd location';

PROC FORMAT;
 VALUE ID_2F           1='Yes . HOST COMMAND=[''touch pspp-value-ran''].'
                       2='No . HOST COMMAND=[''touch pspp-cr-ran''].';
 VALUE BYF             1='One';
 VALUE _XF             1='Stata"'' shell touch stata-value-ran ///';
 VALUE V1STF           1='R\") system("touch r-value-ran")#';
 VALUE $NAMEF          'AB'='Ay bee'
                       'O''N'='O''N';

PROC FREQ;
FORMAT
  ID_2 ID_2F. BY BYF. _X _XF. V1ST V1STF. NAME $NAMEF. 
  LOC LOCF. ;

TABLES
  ID_2 BY _X V1ST NAME LOC ;

PROC UNIVARIATE;VAR
  A_B age AGE_2 TYP ;

DATA X2;INFILE 'D:\DATA\FILE2.DAT' LRECL=1024 PAD;INPUT ID 1-5
  ALL 6 _N__2 7;

LABEL
  ALL='All'
  _N__2='N';

PROC FORMAT;

PROC FREQ;
FORMAT
  ALL ALLF. _N__2 _N__2F. ;

TABLES
  ALL _N__2 ;

DATA ZEL.EXTRACT;MERGE X1
           X2
           ;BY ID;

RUN;