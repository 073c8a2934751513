(deffunction fact (?n) (if (<= ?n 1) then 1 else (* ?n (fact (- ?n 1)))))
(deffunction fib (?n) (if (< ?n 2) then ?n else (+ (fib (- ?n 1)) (fib (- ?n 2)))))
(printout t (fact 10) " " (fib 12) crlf)
