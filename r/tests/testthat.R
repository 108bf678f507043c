library(testthat)
library(tarven)

test_check("tarven")
