(defglobal ?*count* = 0 ?*name* = "x" ?*list* = (create$ 1 2))
(defrule tick (tick) => (bind ?*count* (+ ?*count* 1)))
(assert (tick))
(run)
?*count*
(set-reset-globals FALSE)
(reset)
?*count*
