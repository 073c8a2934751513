(deftemplate t (slot s (type INTEGER) (range 1 ?VARIABLE) (default 3)) (multislot m (cardinality 0 2)))
(deffacts f (t (s 4) (m a b)))