/* Expressions between back-quotes in data strings. The reductions in expression.cpp switch on
   these rule numbers:
    1 expr : term                  2 expr : expr ':' expr        (join as strings)
    3 expr : expr '+' expr         4 expr : expr '-' expr        5 expr : expr '*' expr
    6 expr : expr '/' expr         7 expr : expr '%' expr
    8 expr : expr EQ expr          9 expr : expr '<' expr       10 expr : expr '>' expr
   11 expr : expr LE expr         12 expr : expr GE expr        13 expr : expr NE expr
   14 expr : expr AND expr        15 expr : expr OR expr
   16 expr : NOT expr             17 expr : '-' expr            18 expr : '(' expr ')'
   19 term : STRING               20 term : FLOAT               21 term : INT
   22 term : name                 23 name : NAME                24 name : '[' expr ']'
   Token numbers are fixed by the order of the %token line (AND is 257 ... NAME is 267). */
%token AND EQ GE LE FLOAT INT STRING NE NOT OR NAME
%left ':'
%left AND OR
%left EQ NE '<' '>' LE GE
%left '+' '-'
%left '*' '/' '%'
%right NOT
%start expr
%%
expr : term
     | expr ':' expr
     | expr '+' expr
     | expr '-' expr
     | expr '*' expr
     | expr '/' expr
     | expr '%' expr
     | expr EQ expr
     | expr '<' expr
     | expr '>' expr
     | expr LE expr
     | expr GE expr
     | expr NE expr
     | expr AND expr
     | expr OR expr
     | NOT expr
     | '-' expr %prec NOT
     | '(' expr ')'
     ;
term : STRING
     | FLOAT
     | INT
     | name
     ;
name : NAME
     | '[' expr ']'
     ;
%%
