; A small fault-diagnosis system for a car that will not start.
; Symptoms are observed facts; rules derive hypotheses, rule them in or out with further
; observations and print the most likely fault with the evidence that supports it.

(deftemplate symptom "something the driver reported or a mechanic measured"
  (slot name)
  (slot value))

(deftemplate hypothesis "a possible fault and how sure we are of it"
  (slot fault)
  (slot score (type INTEGER) (default 0))
  (slot status (allowed-symbols open confirmed ruled-out) (default open))
  (multislot evidence))

(deftemplate advice
  (slot fault)
  (slot action (type STRING)))

(deffacts observations "what was reported at the roadside"
  (symptom (name engine-cranks) (value no))
  (symptom (name dashboard-lights) (value dim))
  (symptom (name clicking-noise) (value yes))
  (symptom (name fuel-gauge) (value half))
  (symptom (name battery-voltage) (value 11.2))
  (symptom (name headlights) (value weak)))

(deffacts repair-advice
  (advice (fault flat-battery) (action "Charge or jump-start the battery, then test the alternator"))
  (advice (fault starter-motor) (action "Tap the starter solenoid; replace the starter if it stays silent"))
  (advice (fault empty-tank) (action "Refuel and bleed the fuel line")))

; --- hypotheses from first observations -------------------------------------------------------

(defrule suspect-electrical
  "A car that does not crank points at the battery or the starter"
  (symptom (name engine-cranks) (value no))
  =>
  (assert (hypothesis (fault flat-battery) (score 1) (evidence engine-cranks)))
  (assert (hypothesis (fault starter-motor) (score 1) (evidence engine-cranks))))

(defrule suspect-fuel
  (symptom (name engine-cranks) (value yes))
  =>
  (assert (hypothesis (fault empty-tank) (score 1) (evidence engine-cranks))))

; --- evidence -----------------------------------------------------------------------------------

(defrule weak-battery-evidence
  ?h <- (hypothesis (fault flat-battery) (status open) (score ?s) (evidence $?e))
  (symptom (name ?n&dashboard-lights|headlights) (value dim|weak))
  (test (not (member$ ?n $?e)))
  =>
  (modify ?h (score (+ ?s 2)) (evidence $?e ?n)))

(defrule low-voltage
  ?h <- (hypothesis (fault flat-battery) (status open) (score ?s) (evidence $?e))
  (symptom (name battery-voltage) (value ?v&:(< ?v 12.0)))
  (test (not (member$ battery-voltage $?e)))
  =>
  (modify ?h (score (+ ?s 3)) (evidence $?e battery-voltage)))

(defrule clicking-means-power-problem
  ?h <- (hypothesis (fault starter-motor) (status open) (score ?s) (evidence $?e))
  (symptom (name clicking-noise) (value yes))
  (test (not (member$ clicking-noise $?e)))
  =>
  (modify ?h (score (+ ?s 1)) (evidence $?e clicking-noise)))

(defrule fuel-present
  ?h <- (hypothesis (fault empty-tank) (status open))
  (symptom (name fuel-gauge) (value ~empty))
  =>
  (modify ?h (status ruled-out)))

; --- conclusion ---------------------------------------------------------------------------------

(defrule confirm-best
  "The open hypothesis with the highest score wins once all evidence is in"
  (declare (salience -10))
  ?h <- (hypothesis (fault ?f) (status open) (score ?s))
  (not (hypothesis (status open) (score ?other&:(> ?other ?s))))
  (not (hypothesis (status confirmed)))
  =>
  (modify ?h (status confirmed)))

(defrule report
  (declare (salience -20))
  (hypothesis (fault ?f) (status confirmed) (score ?s) (evidence $?e))
  (advice (fault ?f) (action ?a))
  =>
  (printout t "Most likely fault: " ?f " (score " ?s ")" crlf)
  (printout t "Evidence: " (implode$ $?e) crlf)
  (printout t "Advice: " ?a crlf))

(reset)
(run)
