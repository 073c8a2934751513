; Thermostats of the host program (class TThermostat, examples/host/thermostats.cpp), reached
; through the object package: found by name, made, read, changed and freed by rules.

(deftemplate room
  (slot name)
  (slot device))

(deffunction class-of-device (?device)
  (if (is-class ?device (get-class TThermostat)) then TThermostat else unknown))

(defrule find-devices
  =>
  (assert (room (name hall) (device (get-component Hall))))
  (bind ?attic (create-component (get-class TThermostat) (get-component)))
  (set-property ?attic Room attic)
  (set-property ?attic Temperature 27.5)
  (set-property ?attic Target 22)
  (printout t "made a " (class-of-device ?attic) " for the attic" crlf)
  (assert (room (name attic) (device ?attic))))

(defrule heat
  (room (name ?name) (device ?device))
  (test (< (get-property ?device Temperature) (get-property ?device Target)))
  =>
  (set-property ?device Mode tmHeat)
  (printout t ?name ": " (get-property ?device Temperature) " is below "
              (get-property ?device Target) ", mode " (get-property ?device Mode) crlf))

(defrule cool
  (room (name ?name) (device ?device))
  (test (> (get-property ?device Temperature) (get-property ?device Target)))
  =>
  (set-property ?device Mode tmCool)
  (printout t ?name ": " (get-property ?device Temperature) " is above "
              (get-property ?device Target) ", mode " (get-property ?device Mode) crlf))

(defrule forget-the-attic
  (declare (salience -10))
  ?room <- (room (name attic) (device ?device))
  =>
  (printout t "attic thermostat properties: " (get-properties ?device) crlf)
  (free-object ?device)
  (retract ?room)
  (printout t "attic thermostat freed; the value now reads \"" ?device "\"" crlf))
