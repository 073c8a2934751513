; CLIPS 6.30 twin of bench/programs/rule_work.clp: multifield positions start at 1 there, so the
; insertion at the front is (insert$ ?list 1 ?i).  Change the two together.
;
; Work inside rules rather than matching: one rule runs a recursive deffunction and a loop of
; arithmetic, string and multifield functions (rule_work.py writes the loop count).  Lists are
; grown at the front and cut back from it, so every round copies a list of about fifty items.

(defglobal ?*rounds* = 0 ?*fib* = 0 ?*work* = 0)
(deffunction fib (?n) (if (< ?n 2) then ?n else (+ (fib (- ?n 1)) (fib (- ?n 2)))))
(deffunction work (?n)
  (bind ?sum 0)
  (bind ?text "")
  (bind ?list (create$))
  (bind ?i 0)
  (while (< ?i ?n)
    (bind ?sum (+ ?sum (mod (* ?i 3) 1000) (mod ?i 7)))
    (bind ?s (str-cat "item-" ?i))
    (if (> (str-length ?s) 8) then (bind ?text (upcase ?s)))
    (bind ?list (insert$ ?list 1 ?i))
    (if (> (length$ ?list) 50) then (bind ?list (rest$ ?list)))
    (bind ?sum (+ ?sum (length$ ?list) (if (eq ?s "item-5") then 1 else 0)))
    (bind ?i (+ ?i 1)))
  ?sum)
(defrule go
  =>
  (bind ?*fib* (fib 24))
  (bind ?*work* (work ?*rounds*)))
