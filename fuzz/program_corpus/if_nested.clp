(deffunction sign (?x) (if (> ?x 0) then pos else (if (< ?x 0) then neg else zero)))
(create$ (sign 5) (sign -2) (sign 0))
(if FALSE then a)
(if 1 then (bind ?q 2) ?q else 3)
