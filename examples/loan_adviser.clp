; A loan adviser that reasons back from its decisions.  Each decision rule names the facts it
; needs about the applicant; those templates are marked for backward chaining, so a missing
; fact becomes a goal ("need-credit", "need-income", ...).  Goal rules either derive the fact
; from others (affordability from income and debts, which become goals in turn) or, when no
; rule can, ask the applicant.  Only the questions a decision still needs are asked: a poor
; credit rating settles the matter before anything about income is asked.
;
;   ./dev.sh run examples/loan_adviser.clp                 answer at the prompt
;   printf 'good\n6\n4200\n900\n' | ./dev.sh run examples/loan_adviser.clp

(deftemplate application (slot applicant) (slot amount (type INTEGER FLOAT)))
(deftemplate credit "the rating of the applicant's credit history: good, fair or poor"
  (slot applicant) (slot rating))
(deftemplate employment (slot applicant) (slot years))
(deftemplate income (slot applicant) (slot monthly))
(deftemplate debts (slot applicant) (slot monthly))
(deftemplate affordability "the share of monthly income already owed"
  (slot applicant) (slot ratio))
(deftemplate decision (slot applicant) (slot outcome) (slot reason (type STRING)))

(do-backward-chaining credit employment income debts affordability)

(deffacts the-application
  (application (applicant sam) (amount 25000)))

; ---- decisions: the first one that can be made is made ----

(defrule decline-poor-credit (declare (salience 100))
  (application (applicant ?a))
  (credit (applicant ?a) (rating poor))
  =>
  (assert (decision (applicant ?a) (outcome declined) (reason "a poor credit history"))))

(defrule decline-new-job (declare (salience 90))
  (application (applicant ?a))
  (employment (applicant ?a) (years ?y))
  (test (< ?y 1))
  =>
  (assert (decision (applicant ?a) (outcome declined) (reason "less than a year in employment"))))

(defrule decline-overstretched (declare (salience 80))
  (application (applicant ?a))
  (affordability (applicant ?a) (ratio ?r))
  (test (> ?r 0.4))
  =>
  (assert (decision (applicant ?a) (outcome declined)
                    (reason (str-cat "debts take " (integer (round (* 100 ?r))) " percent of income")))))

(defrule approve (declare (salience 70))
  (application (applicant ?a) (amount ?m))
  (credit (applicant ?a) (rating ?c))
  (test (neq ?c poor))
  (employment (applicant ?a) (years ?y))
  (test (>= ?y 1))
  (affordability (applicant ?a) (ratio ?r))
  (test (<= ?r 0.4))
  =>
  (assert (decision (applicant ?a) (outcome approved)
                    (reason (str-cat ?c " credit, " ?y " years employed, debts at "
                                     (integer (round (* 100 ?r))) " percent of income")))))

(defrule announce (declare (salience 200))
  (decision (applicant ?a) (outcome ?o) (reason ?why))
  =>
  (printout t crlf "Application of " ?a ": " ?o " (" ?why ")" crlf)
  (halt))

; ---- goals: derived where a rule can, asked where none can ----

; Asks a question and reads the answer; a number is wanted when Number is TRUE.  Without an
; answer the run ends (halt) and EOF is returned.
(deffunction ask (?question ?number)
  (printout t ?question " ")
  (bind ?answer (read))
  (while (and (neq ?answer EOF) (eq ?number TRUE) (not (numberp ?answer)))
    (printout t "Please give a number: ")
    (bind ?answer (read)))
  (if (eq ?answer EOF) then
    (printout t crlf "No answer: the application is left undecided" crlf)
    (halt))
  ?answer)

(defrule derive-affordability (declare (salience 50))
  (need-affordability (applicant ?a))
  (income (applicant ?a) (monthly ?i))
  (debts (applicant ?a) (monthly ?d))
  =>
  (assert (affordability (applicant ?a) (ratio (/ ?d (max ?i 1))))))

(defrule ask-credit (declare (salience 40))
  (need-credit (applicant ?a))
  =>
  (bind ?answer (ask (str-cat "Credit history of " ?a " (good, fair, poor)?") FALSE))
  (if (neq ?answer EOF) then (assert (credit (applicant ?a) (rating ?answer)))))

(defrule ask-employment (declare (salience 30))
  (need-employment (applicant ?a))
  =>
  (bind ?answer (ask "Years in current employment?" TRUE))
  (if (neq ?answer EOF) then (assert (employment (applicant ?a) (years ?answer)))))

(defrule ask-income (declare (salience 20))
  (need-income (applicant ?a))
  =>
  (bind ?answer (ask "Monthly income?" TRUE))
  (if (neq ?answer EOF) then (assert (income (applicant ?a) (monthly ?answer)))))

(defrule ask-debts (declare (salience 10))
  (need-debts (applicant ?a))
  =>
  (bind ?answer (ask "Monthly repayments on existing debts?" TRUE))
  (if (neq ?answer EOF) then (assert (debts (applicant ?a) (monthly ?answer)))))

(reset)
(run)
