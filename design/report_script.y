/* The report-script language. The reductions live in report_compiler.cpp, which finds each rule
   by its text ("statement : K_BREAK"), so rules may be added or reordered here freely; a rule
   that the compiler names and this file lacks fails the compiler's tests.

   Token numbers are fixed: the lexer returns them and scripts compiled elsewhere agree on them.
   Single characters are their own codes. Nonterminals ending in _head or _mark exist so that a
   code can be written before the part of the construct that follows them; the context keywords
   switch on and off at the reductions of iterate_kw, list_kind, hier_kind and attr_head, which
   the tables make before the next token is read. */
%token K_EXIT 257
%token T_AND 258
%token K_APPENDFILE 259
%token K_ASKSAVE 260
%token K_ASKSAVEABORT 261
%token K_BY 262
%token K_CENTER 263
%token K_COMPONENTS 264
%token K_DATABASE 265
%token K_DESCENTRULES 266
%token K_ELSE 267
%token K_FILL 268
%token T_GE 269
%token K_IF 270
%token K_JUSTIFY 271
%token T_LE 272
%token K_LEFT 273
%token K_LENGTH 274
%token T_FLOAT 275
%token T_INTEGER 276
%token T_STRING 277
%token T_NE 278
%token K_NETS 279
%token K_NOCOMPS 280
%token K_NONETS 281
%token K_NOPINS 282
%token T_NOT 283
%token T_OR 284
%token K_PINS 285
%token K_REPEAT 286
%token K_RIGHT 287
%token K_SETFILE 288
%token K_ITERATE 289
%token K_INCLUDE 290
%token K_TRUNC 291
%token T_NAME 292
%token K_WRITE 293
%token K_HIERARCHY 294
%token K_COMPLEX 295
%token K_SIMPLE 296
%token K_BRANCH 297
%token K_LEVEL 298
%token K_TOPDOWN 299
%token K_BOTTOMUP 300
%token K_MODULAR 301
%token K_PORTS 302
%token T_ASSIGN 303
%token T_ADD_ASSIGN 305
%token T_SUB_ASSIGN 306
%token T_MUL_ASSIGN 307
%token T_DIV_ASSIGN 308
%token T_CAT_ASSIGN 309
%token K_REPLACE 310
%token K_WHILE 311
%token K_BREAK 312
%token K_BLOCKDEF 313
%token K_CALL 314
%token K_COPY 315
%token K_COPYEX 316
%token K_FLOAT 317
%token K_INT 318
%token K_CROSSREF 319
%token K_POSITION 323
%token K_NOTIFY 324
%token K_ASK 325
%token K_STRIPEXT 326
%token K_NOGROUPING 327
%token K_RUN 328
%token K_SUBSTRING 329
%token K_GRAPHICS 330
%token K_ATTRIBUTES 331
%token K_NET 332
%token K_COMPONENT 333
%token K_PIN 334
%token K_SHEET 335
%token K_PROJECT 336
%token T_EQ 337
/* Precedence only; never returned by the lexer. */
%token P_THEN 338
%token P_ASSIGN 339
%token P_UNARY 340

%nonassoc P_THEN
%nonassoc K_ELSE
%right P_ASSIGN
%left ':'
%left T_AND T_OR
%left T_EQ T_NE '<' '>' T_LE T_GE
%left '+' '-'
%left '*' '/' '%'
%right P_UNARY

%start script
%%
script : statements
       ;
statements : statement
           | statements ';' statement
           ;
statement : /* empty */
          | '{' statements '}'
          | exit_head
          | exit_head expression
          | variable assign_op expression
          | db_head
          | db_head '(' options ')'
          | iterate_kw iteration
          | descent_head statement
          | if_cond statement %prec P_THEN
          | if_cond statement else_mark statement
          | while_head expression statement
          | K_BREAK
          | out_head expression
          | block_head expression statement
          | K_INCLUDE T_STRING
          | function_call
          ;
exit_head : K_EXIT
          ;
db_head : K_DATABASE
        ;
options : option
        | options ',' option
        ;
option : K_NONETS
       | K_NOCOMPS
       | K_NOPINS
       | K_MODULAR
       | K_CROSSREF
       | K_NOGROUPING
       | K_GRAPHICS
       ;
out_head : K_SETFILE
         | K_APPENDFILE
         | K_WRITE
         | K_CALL
         | K_COPY
         | K_COPYEX
         | K_RUN
         | K_NOTIFY
         ;
descent_head : K_DESCENTRULES
             ;
if_head : K_IF
        ;
if_cond : if_head expression
        ;
else_mark : K_ELSE
          ;
while_head : K_WHILE
           ;
block_head : K_BLOCKDEF
           ;
iterate_kw : K_ITERATE
           ;
iteration : hier_head statement
          | list_head statement
          | attr_head statement
          ;
hier_head : hier_kind hier_order
          ;
hier_kind : K_SIMPLE K_HIERARCHY
          | K_COMPLEX K_HIERARCHY
          ;
hier_order : grouping
           | K_TOPDOWN grouping
           | K_BOTTOMUP grouping
           ;
grouping : /* empty */
         | K_BY K_BRANCH
         | K_BY K_LEVEL
         ;
list_head : list_kind sort_clause
          ;
list_kind : K_PORTS
          | K_COMPONENTS
          | K_NETS
          | K_PINS
          ;
sort_clause : /* empty */
            | K_BY sort_keys
            ;
sort_keys : variable
          | sort_keys ',' variable
          ;
attr_head : attr_kind K_ATTRIBUTES
          ;
attr_kind : K_PIN
          | K_COMPONENT
          | K_NET
          | K_SHEET
          | K_PROJECT
          ;
assign_op : T_ASSIGN
          | T_ADD_ASSIGN
          | T_SUB_ASSIGN
          | T_MUL_ASSIGN
          | T_DIV_ASSIGN
          | T_CAT_ASSIGN
          ;
variable : T_NAME
         | bracket_mark expression ']'
         ;
bracket_mark : '['
             ;
expression : term
           ;
term : operand
     | term ':' term
     | term '+' term
     | term '-' term
     | term '*' term
     | term '/' term
     | term '%' term
     | term T_EQ term
     | term '<' term
     | term '>' term
     | term T_LE term
     | term T_GE term
     | term T_NE term
     | term T_AND term
     | term T_OR term
     | variable assign_op term %prec P_ASSIGN
     | T_NOT term %prec P_UNARY
     | '-' term %prec P_UNARY
     | '(' term ')'
     ;
operand : T_STRING
        | T_FLOAT
        | T_INTEGER
        | function_call
        | variable
        ;
function_call : number_head '(' expression ')'
              | number_head '(' expression second_mark expression ')'
              | justify_head '(' expression ',' expression justify_options ')'
              | pair_head '(' expression ',' expression ')'
              | triple_head '(' expression ',' expression ',' expression ')'
              | stripext_head '(' expression extensions ')'
              | length_head '(' expression ')'
              ;
number_head : K_FLOAT
            | K_INT
            ;
second_mark : ','
            ;
justify_head : K_JUSTIFY
             ;
justify_options : /* empty */
                | fill_mark expression
                | ',' alignment
                | ',' alignment fill_mark expression
                ;
fill_mark : ',' K_FILL
          ;
alignment : K_LEFT
          | K_RIGHT
          | K_CENTER
          ;
pair_head : K_REPEAT
          | K_TRUNC
          | K_ASKSAVE
          | K_ASKSAVEABORT
          ;
triple_head : K_SUBSTRING
            | K_REPLACE
            | K_POSITION
            | K_ASK
            ;
stripext_head : K_STRIPEXT
              ;
extensions : extension_mark expression
           | extensions extension_mark expression
           ;
extension_mark : ','
               ;
length_head : K_LENGTH
            ;
%%
