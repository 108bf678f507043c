test_that("the scenario arguments recycle to one row per scenario", {
  both <- ai_summary(100, 80, c(10, 20), 0.5, 0.3, 0.6)
  expect_identical(nrow(both), 2L)
  expect_identical(both[2, ], `row.names<-`(ai_summary(100, 80, 20, 0.5, 0.3, 0.6), 2L))
  expect_identical(nrow(ai_summary(numeric(), 80, 10, 0.5, 0.3, 0.6)), 0L)
  expect_error(ai_summary(c(100, 200, 300), c(80, 90), 10, 0.5, 0.3, 0.6),
               "length 1 or one common length; got n_total 3, n_majority 2, n_hired 1, d 1, rho 1, retention 1")
  expect_error(ai_summary("100", 80, 10, 0.5, 0.3, 0.6), "n_total must be numbers, not character")
})

test_that("the columns are the grid's, named and typed by kind", {
  x <- ai_summary(100, 80, 10, 0.5, 0.3, 0.6, threshold = c(0.8, "0.825"), quantiles = c(0.025, 0.5))
  expect_identical(names(x)[1:12], c("n_total", "n_majority", "n_minority", "n_hired", "d", "rho",
                                     "retention", "cutoff_z", "engine", "alpha", "status", "error"))
  expect_identical(tail(names(x), 6), c("ai_q2_5", "ai_q50", "ai_population", "sr_majority_population",
                                        "sr_minority_population", "ai_population_unscreened"))
  expect_true(all(c("p_ai_lt_0_80", "p_flag_two_sided_0_825", "p_flag_and_sig_z_0_825") %in% names(x)))
  types <- vapply(x, typeof, "")
  expect_identical(unname(types[c("n_total", "n_minority", "n_hired")]), rep("integer", 3))
  expect_identical(unname(types[c("engine", "status", "error")]), rep("character", 3))
  expect_true(all(types[-c(1:4, 9, 11, 12)] == "double"))
  expect_identical(x$error, NA_character_)
})

test_that("a refused scenario is a row with the library's reason; one warning counts them", {
  expect_warning(
    x <- ai_summary(c(100, 100, 100, NA), c(80, 80.5, 80, 80), c(10, 10, 120, 10), 0.5, 0.3, 0.6),
    "3 of 4 scenarios not ok: 3 refused \\(status \"invalid\"\\).*row 2: n_majority = 80.5: not a whole number")
  expect_identical(x$status, c("ok", "invalid", "invalid", "invalid"))
  expect_match(x$error[3], "^n_hired = 120: ")
  expect_match(x$error[4], "n_total")
  # The inputs as given where their column holds them; results missing.
  expect_identical(x$n_hired, c(10L, 10L, 120L, 10L))
  expect_identical(x$n_majority, c(80L, NA, 80L, 80L))
  expect_true(all(is.na(x$p_ai_lt_0_80[2:4])) && all(is.na(x$n_minority[2:4])))
  expect_false(is.na(x$p_ai_lt_0_80[1]))
})

test_that("thresholds given as numbers are their shortest decimal text", {
  by_text <- ai_summary(300, 240, 60, 1, 0.5, 0.3, threshold = c("0.8", "0.30000000000000004"))
  by_number <- ai_summary(300, 240, 60, 1, 0.5, 0.3, threshold = c(0.8, 0.1 + 0.2))
  expect_identical(by_number, by_text)
  expect_true("p_ai_lt_0_30000000000000004" %in% names(by_number))
  expect_true("p_ai_lt_0_00001" %in% names(ai_summary(10, 7, 4, 0, 0, 0.5, threshold = 1e-5)))
})

test_that("settings that cannot be asked are refused with what is allowed", {
  s <- function(...) ai_summary(100, 80, 10, 0.5, 0.3, 0.6, ...)
  expect_error(s(threshold = 80), "threshold 80: must lie above 0 and at most 1 \\(a percentage\\? 80 % is 0.80\\)")
  expect_error(s(threshold = c(0.8, "0.80")), "given twice")
  expect_error(s(threshold = NA), "threshold must not be NA")
  expect_error(s(threshold = "4/5"), "threshold \"4/5\": not a decimal number")
  expect_error(s(alpha = 1), "alpha = 1: must lie strictly between 0 and 1")
  expect_error(s(quantiles = 0), "quantile level 0: must lie above 0 and at most 1")
  expect_error(s(engine = "exact"), "engine \"exact\": must be one of \"single\", \"nested\"")
  expect_error(s(threads = 0), "threads = 0: must be one whole number from 1 to 1024")
})

test_that("the results do not depend on the number of threads or the engine's order of work", {
  args <- list(c(10, 300, 1000, 60), c(7, 240, 800, 30), c(4, 60, 100, 59), c(0.5, 1, 0.8, -0.3),
               0.3, c(0.6, 0.3, 0.5, 0.9))
  one <- do.call(ai_summary, c(args, threads = 1))
  expect_identical(do.call(ai_summary, c(args, threads = 3)), one)
  expect_identical(do.call(ai_summary, c(args, threads = 8)), one)
})

test_that("ai_grid keeps the id and the other columns in place and takes ai_summary's options", {
  scenarios <- data.frame(label = c("a", "b", "c"), rho = 0.3, n_total = c(100, 100, 50),
                          retention = 0.6, scenario_id = c("x", NA, "z"), d = 0.5,
                          n_majority = 80, rep = 3:1, n_hired = c(10, 20, 60))
  expect_warning(g <- ai_grid(scenarios, threshold = 0.9), "1 of 3 scenarios not ok")
  expect_identical(names(g)[1:4], c("scenario_id", "label", "rep", "n_total"))
  expect_identical(g$scenario_id, c("x", "2", "z"))
  expect_identical(g$label, scenarios$label)
  expect_identical(g$rep, 3:1)
  expect_equal(g[1:2, -(1:3)], ai_summary(100, 80, c(10, 20), 0.5, 0.3, 0.6, threshold = 0.9),
               ignore_attr = TRUE)
  expect_identical(ai_grid(scenarios[1:2, -5])$scenario_id, 1:2)
  expect_error(ai_grid(scenarios[-c(2, 9)]),
               paste("no column n_hired or selection_ratio, rho; it needs n_total, n_majority or",
                     "n_minority or minority_share, n_hired or selection_ratio, d, rho, retention"))
  expect_error(ai_grid(scenarios, thresholds = 0.9), "unknown: thresholds")
  expect_error(ai_grid(cbind(scenarios, status = "draft")),
               "the column \"status\" of scenarios is also a column of the result")
})

test_that("ai_grid takes group sizes and hires as shares, and passes the shares through", {
  by_share <- data.frame(n_total = c(100, 300), minority_share = c(0.2, 0.25),
                         selection_ratio = c(0.1, 0.2), d = 0.5, rho = 0.3, retention = 0.6)
  g <- ai_grid(by_share)
  expect_identical(names(g)[1:4], c("scenario_id", "minority_share", "selection_ratio", "n_total"))
  expect_equal(g[-(1:3)], ai_summary(c(100, 300), c(80, 225), c(10, 60), 0.5, 0.3, 0.6),
               ignore_attr = TRUE)
  by_share$n_minority <- c(NA, 75)
  by_share$minority_share[2] <- NA
  same <- setdiff(names(g), "minority_share")
  expect_equal(ai_grid(by_share)[same], g[same])
  by_share$minority_share[2] <- 0.25
  expect_warning(both <- ai_grid(by_share), "1 refused")
  expect_match(both$error[2], "minority_share")
  expect_identical(both$n_minority[2], 75L)
})
