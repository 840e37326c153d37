" Vim syntax file for ruk programs (*.ruk).
"
" A program is an entry expression, then definitions after top-level commas:
"   a\sum 1 10 0,sum\i\n\c\n<i?c?sum(i+1)n(c+i)
" Highlighted: texts [..] (brackets nest inside them; [p] [q] [r] are escapes), the
" capital combinators, the operator characters, numbers (a leading 0 before more digits
" is the minus sign), binders x\ and the name of each definition after a top-level comma.

if exists("b:current_syntax")
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

" Texts, and the escapes inside them.
syn region rukText start="\[" end="\]" contains=rukEscape,rukText
syn match rukEscape "\[[pqr]\]" contained

" An operator character in brackets names the operator: [+]. Defined after rukText, so
" it wins where both start.
syn match rukOperatorName "\[[{,}~!@#$%^&*<>|+/=\\.`'\":;?-]\]"

" Operators: the operator characters other than the brackets { } and the comma.
syn match rukOperator "[~!@#$%^&*<>|+/=\\.`'\":;?-]"

syn match rukCombinator "[A-Z]"
syn match rukName "[a-z_]\+"
syn match rukBinder "[a-z_]\+\ze\\"

" A run of digits; a 0 before more digits is the sign.
syn match rukNumber "\d\@<!\d\+" contains=rukSign
syn match rukSign "\d\@<!0\ze\d" contained

" A top-level comma; the next definition's name follows it, over blanks and line breaks.
syn match rukDefinitionComma "," nextgroup=rukDefinitionHead skipwhite skipnl
syn match rukDefinitionHead "\%([a-z_]\{2,}\|[A-Z]\|\[[{,}~!@#$%^&*<>|+/=\\.`'\":;?-]\]\)\ze\\" contained

" Parentheses and braces: commas inside them separate arguments, not definitions.
syn cluster rukTerm contains=rukText,rukOperatorName,rukOperator,rukCombinator,rukName,rukBinder,rukNumber,rukParens,rukBraces
syn region rukParens matchgroup=rukDelimiter start="(" end=")" contains=@rukTerm
syn region rukBraces matchgroup=rukDelimiter start="{" end="}" contains=@rukTerm

syn sync minlines=200

hi def link rukText String
hi def link rukEscape SpecialChar
hi def link rukOperatorName Operator
hi def link rukOperator Operator
hi def link rukCombinator Type
hi def link rukBinder Identifier
hi def link rukNumber Number
hi def link rukSign Special
hi def link rukDefinitionComma Delimiter
hi def link rukDefinitionHead Function
hi def link rukDelimiter Delimiter

let b:current_syntax = "ruk"

let &cpo = s:cpo_save
unlet s:cpo_save
