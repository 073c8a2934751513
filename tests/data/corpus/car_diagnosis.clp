;;; ==========================================================================
;;; Car fault diagnosis
;;;
;;; A small diagnostic assistant for a garage: the mechanic enters what the
;;; car does, the rules narrow the possible faults down and recommend checks.
;;; Engine temperature is kept as a fuzzy value so that "a bit hot" and
;;; "very hot" readings both count as evidence of a cooling problem.
;;; ==========================================================================

(deftype coolant-temperature extends (type FUZZY)
  (range 0 150)
  (units celsius)
  (values
    (term cold ((0 1) (40 1) (60 0)))
    (term normal ((50 0) (85 1) (100 0)))
    (term hot ((90 0) (115 1) (150 1)))))

(deftype battery-voltage "Open-circuit battery voltage" extends (type FLOAT)
  (range 0 16)
  (units volt))

(deftype mileage extends (type INTEGER)
  (range 0 ?VARIABLE)
  (units km))

(deftemplate vehicle "The car in the workshop"
  (slot plate (type STRING))
  (slot make (type SYMBOL) (default unknown))
  (slot fuel (allowed-symbols petrol diesel electric hybrid) (default petrol))
  (slot odometer (type mileage))
  (slot battery (type battery-voltage) (default 12.6)))

(deftemplate symptom
  (slot name (type SYMBOL))
  (slot severity (type INTEGER) (range 1 5) (default 3))
  (multislot remarks (type STRING)))

(deftemplate fault
  (slot component (type SYMBOL))
  (slot certainty (type FLOAT) (range 0 1) (default 0.5))
  (multislot evidence))

(deftemplate recommendation
  (slot action (type STRING))
  (slot priority (allowed-integers 1 2 3) (default 2)))

(defglobal ?*low-battery* = 11.8 ?*service-interval* = 15000)

(deffunction battery-state (?volts)
  "Classify an open-circuit voltage reading"
  (if (< ?volts ?*low-battery*) then flat
   else (if (< ?volts 12.4) then weak else good)))

(deffunction due-for-service (?km)
  (>= (mod ?km ?*service-interval*) (- ?*service-interval* 1000)))

(deffacts workshop-intake "What the customer told us"
  (vehicle (plate "KA-123-XY") (make volkswagen) (fuel diesel) (odometer 148250) (battery 11.4))
  (symptom (name no-crank) (severity 5) (remarks "clicks when the key is turned"))
  (symptom (name dim-lights) (severity 2))
  (symptom (name overheating) (severity 4) (remarks "gauge in the red" "after motorway drives"))
  (customer-report engine stalls when cold))

;; A dead battery explains both the clicking and the dim lights.
(defrule flat-battery
  "Low voltage together with a no-crank symptom"
  (declare (salience 20))
  (vehicle (plate ?p) (battery ?v&:(< ?v ?*low-battery*)))
  (symptom (name no-crank))
  (symptom (name dim-lights|weak-horn))
  =>
  (assert (fault (component battery) (certainty 0.9) (evidence no-crank dim-lights)))
  (printout t "Vehicle " ?p ": battery at " ?v " V is flat" crlf))

(defrule starter-motor
  (vehicle (battery ?v&:(>= ?v 12.4)))
  (symptom (name no-crank) (severity ?s&:(> ?s 3)))
  (not (fault (component battery)))
  =>
  (assert (fault (component starter-motor) (certainty 0.6) (evidence no-crank))))

(defrule cooling-system
  (symptom (name overheating) (remarks $? "after motorway drives" $?))
  (vehicle (fuel ~electric))
  =>
  (assert (fault (component thermostat) (certainty 0.4) (evidence overheating)))
  (assert (fault (component water-pump) (certainty 0.3) (evidence overheating))))

(defrule cold-stall
  (customer-report engine stalls when cold)
  (vehicle (fuel diesel))
  =>
  (assert (fault (component glow-plugs) (certainty 0.7) (evidence cold-start))))

(defrule recommend-check
  ?f <- (fault (component ?c) (certainty ?x&:(>= ?x 0.5)))
  (not (recommendation (action ?a&:(eq ?a (str-cat "Check " ?c)))))
  =>
  (assert (recommendation (action (str-cat "Check " ?c)) (priority 1)))
  (modify ?f (certainty (min 1.0 (+ ?x 0.1)))))

(defrule service-reminder
  (declare (salience -10))
  (vehicle (plate ?p) (odometer ?km&:(due-for-service ?km)))
  =>
  (assert (recommendation (action "Book the annual service") (priority 3))))

(defrule report-faults
  (declare (salience -20))
  (exists (fault))
  =>
  (printout t "Probable faults, most likely first:" crlf)
  (bind ?faults (create$ battery starter-motor thermostat water-pump glow-plugs))
  (foreach ?c ?faults
    (printout t "  " ?c crlf)))
