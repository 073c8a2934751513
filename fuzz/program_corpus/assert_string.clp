(assert-string "(color red)")
(assert-string "(deftemplate)")
(retract-string "(color red)")
(facts)
