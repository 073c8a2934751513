(deffunction f (?a $?b) "c" (if (> ?a 1) then (f (- ?a 1)) else ?b))
(defglobal ?*x* = (+ 1 2))
(deftype p extends (type INTEGER FLOAT) (range 0 100) (allowed-numbers 1 2.5))