(((((( "unterminated ; comment
 ?x <- = > & | ~ [ ] $? ? 1e999 -0.5 .5 + -