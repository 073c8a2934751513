; An interview: three questions answered on standard input, then a conclusion drawn from the
; answers.  "read" takes one word or number, "readline" the whole line.

(deftemplate answer (slot question) (slot value))

(defrule ask
  =>
  (printout t "Does the engine crank? (yes/no) ")
  (assert (answer (question cranks) (value (read))))
  (printout t "Battery voltage? ")
  (assert (answer (question voltage) (value (read))))
  (printout t "What do you hear when you turn the key? ")
  (assert (answer (question noise) (value (readline)))))

(defrule flat-battery
  (answer (question cranks) (value no))
  (answer (question voltage) (value ?v&:(< ?v 12.0)))
  (answer (question noise) (value ?n&:(str-index "click" ?n)))
  =>
  (printout t "Diagnosis: flat battery (" ?v " V, \"" ?n "\")" crlf))

(defrule starter
  (answer (question cranks) (value no))
  (answer (question voltage) (value ?v&:(>= ?v 12.0)))
  =>
  (printout t "Diagnosis: starter motor" crlf))

(defrule fuel
  (answer (question cranks) (value yes))
  =>
  (printout t "Diagnosis: check the fuel supply" crlf))

(reset)
(run)
