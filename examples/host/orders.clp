; Orders the host asserts are checked against the stock and the customer's credit; each
; decision is a fact the host reads back through the engine's events.
(deftemplate order (slot id) (slot customer) (slot item) (slot quantity (type INTEGER)))
(deftemplate stock (slot item) (slot on-hand (type INTEGER)))
(deftemplate credit (slot customer) (slot limit (type INTEGER)))
(deftemplate decision (slot order) (slot verdict) (slot reason))

(deffacts warehouse
  (stock (item bolt) (on-hand 500))
  (stock (item gear) (on-hand 20))
  (credit (customer acme) (limit 300))
  (credit (customer zenith) (limit 50)))

(defrule out-of-stock
  (declare (salience 10))
  (order (id ?id) (item ?i) (quantity ?q))
  (stock (item ?i) (on-hand ?h&:(> ?q ?h)))
  =>
  (assert (decision (order ?id) (verdict rejected) (reason "not enough stock"))))

(defrule over-limit
  (declare (salience 5))
  (order (id ?id) (customer ?c) (quantity ?q))
  (credit (customer ?c) (limit ?l&:(> ?q ?l)))
  (not (decision (order ?id)))
  =>
  (assert (decision (order ?id) (verdict held) (reason "over the credit limit"))))

(defrule accept
  ?o <- (order (id ?id) (item ?i) (quantity ?q))
  ?s <- (stock (item ?i) (on-hand ?h&:(<= ?q ?h)))
  (not (decision (order ?id)))
  =>
  (modify ?s (on-hand (- ?h ?q)))
  (assert (decision (order ?id) (verdict accepted) (reason "shipped"))))
