(gensym*)
(setgen 100)
(gensym*)
(sym-cat (gensym*) x)
