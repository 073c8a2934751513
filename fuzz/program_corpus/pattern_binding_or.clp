(defrule color (paint ?c&red|green|~blue) (size ?s&:(> ?s 1)&~5) => (printout t ?c ?s crlf))
(defrule eqret (pair ?a =(+ ?a 1)) => (printout t pair ?a crlf))
(assert (paint red) (paint blue) (size 3) (size 5) (pair 1 2) (pair 2 2))
(run)
