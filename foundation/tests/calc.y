/* A small expression grammar for the parser engine's tests. Rules:
   1 list :            2 list : list line       3 line : expr ';'     4 line : error ';'
   5 expr : expr '+' expr    6 expr : expr '-' expr    7 expr : expr '*' expr
   8 expr : '(' expr ')'     9 expr : NUM */
%token NUM
%left '+' '-'
%left '*'
%%
list : /* empty */
     | list line
     ;
line : expr ';'
     | error ';'
     ;
expr : expr '+' expr
     | expr '-' expr
     | expr '*' expr
     | '(' expr ')'
     | NUM
     ;
%%
