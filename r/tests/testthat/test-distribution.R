test_that("at d = 0 the split distribution is hypergeometric, up to 30,000 applicants", {
  problems <- list(c(10, 7, 4, 0.3, 0.6), c(300, 240, 60, 0.5, 0.3), c(1000, 500, 999, -0.5, 0.9),
                   c(5000, 4900, 2500, 0.9, 0.1), c(30000, 24000, 3000, 0.4, 0.5))
  for (p in problems) {
    x <- ai_distribution(p[1], p[2], p[3], d = 0, rho = p[4], retention = p[5])
    exact <- dhyper(x$n_minority_hired, p[1] - p[2], p[2], p[3])
    expect_lt(max(abs(x$prob - exact)), 1e-12, label = paste(p, collapse = " "))
    expect_lt(max(abs(x$cum_prob - cumsum(exact))), 1e-12)
  }
})

test_that("the splits are written as `tarven run --distribution` writes them", {
  x <- ai_distribution(50, 45, 10, 0.5, 0.3, 0.6)
  expect_s3_class(x, c("tarven_distribution", "data.frame"))
  expect_identical(names(x), c("n_minority_hired", "n_majority_hired", "sr_minority",
                               "sr_majority", "ai", "prob", "cum_prob"))
  expect_type(x$n_minority_hired, "integer")
  expect_identical(x$n_minority_hired + x$n_majority_hired, rep(10L, nrow(x)))
  expect_identical(is.na(x$ai), x$n_majority_hired == 0L)
  defined <- !is.na(x$ai)
  expect_equal(x$ai[defined], (x$n_minority_hired * 45 / (x$n_majority_hired * 5))[defined])
  expect_equal(x$sr_minority, x$n_minority_hired / 5)
  s <- attr(x, "scenario")
  expect_identical(unlist(s[c("n_total", "n_majority", "n_minority", "n_hired")]),
                   c(n_total = 50L, n_majority = 45L, n_minority = 5L, n_hired = 10L))
})

test_that("the distribution agrees with the summary of the same scenario", {
  x <- ai_distribution(200, 150, 40, 0.7, 0.4, 0.5)
  s <- ai_summary(200, 150, 40, 0.7, 0.4, 0.5)
  expect_equal(attr(x, "summary"), s)
  expect_equal(s$n_minority_hired_mean, sum(x$n_minority_hired * x$prob), tolerance = 1e-12)
  # The ai column is rounded once from the counts, so that filtering it agrees with the exact rule.
  expect_equal(s$p_ai_lt_0_80, sum(x$prob[!is.na(x$ai) & x$ai < 0.8]), tolerance = 1e-14)
})

test_that("one scenario only, and refusals name the field and what is allowed", {
  expect_error(ai_distribution(c(10, 20), 5, 2, 0, 0, 0.5), "one scenario at a time: n_total has length 2")
  expect_error(ai_distribution(10, 11, 2, 0, 0, 0.5), "n_majority = 11")
  expect_error(ai_distribution(10, 5, 2, 0, 0, 0.5, engine = "fast"),
               "engine \"fast\": must be one of \"single\", \"nested\"")
})

test_that("print shows the scenario and the headline numbers; plot draws the thresholds", {
  x <- ai_distribution(100, 80, 18, 0, 0.5, 0.5)
  shown <- capture.output(print(x))
  expect_match(shown[1], "100 applicants \\(80 majority, 20 minority\\), 18 hired")
  expect_true(any(grepl("P(AI < 0.80) = 0.2448", shown, fixed = TRUE)))
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off())
  expect_invisible(plot(x, threshold = c(0.8, "0.9")))
  expect_error(plot(x, threshold = 80), "threshold 80: must lie above 0 and at most 1")
})
