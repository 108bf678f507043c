ai_distribution <- function(n_total, n_majority, n_hired, d, rho, retention, engine = "single",
                            threads = getOption("tarven.threads", 2L)) {
  caller <- "ai_distribution"
  inputs <- list(n_total = n_total, n_majority = n_majority, n_hired = n_hired, d = d, rho = rho,
                 retention = retention)
  for (name in names(inputs)) {
    check_numbers(inputs[[name]], name, caller)
    if (length(inputs[[name]]) != 1L)
      refuse(caller, "one scenario at a time: ", name, " has length ", length(inputs[[name]]),
             "; ai_summary takes several")
  }
  if (!is.character(engine) || length(engine) != 1L || is.na(engine))
    refuse(caller, "engine must be one word: \"single\" or \"nested\"")
  check_threads(caller, threads)

  answer <- .Call(C_tarven_distribution, lapply(inputs, as.double), engine, as.integer(threads),
                  NULL, take_interrupt_hook())
  if (!is.null(answer$error)) refuse(caller, answer$error)
  summary <- as_table(answer$columns)
  if (summary$status != "ok") refuse(caller, summary$error, " (status \"", summary$status, "\")")
  splits <- as_table(answer$splits)
  attr(splits, "scenario") <- as.list(summary[seq_len(match("engine", names(summary)))])
  attr(splits, "summary") <- summary
  class(splits) <- c("tarven_distribution", "data.frame")
  splits
}

print.tarven_distribution <- function(x, rows = 10L, ...) {
  s <- attr(x, "scenario")
  summary <- attr(x, "summary")
  if (is.null(s) || is.null(summary)) return(NextMethod())
  cat(sprintf("Distribution of the impact ratio: %d applicants (%d majority, %d minority), %d hired,\n",
              s$n_total, s$n_majority, s$n_minority, s$n_hired))
  cat(sprintf("d = %s, rho = %s, retention = %s (pre-screening cutoff %s), %s engine\n",
              format(s$d), format(s$rho), format(s$retention), format(s$cutoff_z, digits = 4),
              s$engine))
  lt <- grep("^p_ai_lt_", names(summary), value = TRUE)[1]
  both <- grep("^p_flag_and_sig_fisher_", names(summary), value = TRUE)[1]
  t <- chartr("_", ".", sub("^p_ai_lt_", "", lt))
  four <- function(p) formatC(p, format = "f", digits = 4)
  cat(sprintf("Expected AI %s where defined; P(AI undefined) = %s\n",
              format(summary$ai_mean, digits = 4), four(summary$p_ai_undefined)))
  cat(sprintf("P(AI < %s) = %s; P(Fisher p <= %s) = %s; both = %s\n", t, four(summary[[lt]]),
              format(summary$alpha), four(summary$p_sig_fisher), four(summary[[both]])))
  cat(sprintf("%d splits of the hires:\n", nrow(x)))
  table <- as.data.frame(unclass(x)[names(x)], stringsAsFactors = FALSE)
  if (nrow(table) > rows) {
    print(utils::head(table, ceiling(rows / 2)))
    cat(sprintf("... %d more splits ...\n", nrow(table) - rows))
    print(utils::tail(table, floor(rows / 2)))
  } else {
    print(table)
  }
  invisible(x)
}

plot.tarven_distribution <- function(x, threshold = 0.8, main = NULL, ...) {
  s <- attr(x, "scenario")
  if (is.null(s)) stop("plot.tarven_distribution: x has lost its scenario (made by ai_distribution?)",
                       call. = FALSE)
  settings <- check_settings("plot", threshold, 0.05, numeric(), "single", 1L, FALSE)
  rates <- .Call(C_tarven_threshold_rates, s$n_majority, s$n_minority, s$n_hired,
                 x$n_minority_hired, x$n_majority_hired, x$prob, settings$threshold)
  if (!is.null(rates$error)) refuse("plot", rates$error)

  # The splits worth a bar: those of probability 1e-6 or more (all of them where none is).
  shown <- x$prob >= 1e-6
  if (!any(shown)) shown <- rep(TRUE, nrow(x))
  defined <- shown & !is.na(x$ai)
  undefined <- shown & is.na(x$ai)
  limits <- range(c(x$ai[defined], as.numeric(rates$thresholds), 0, 1))
  gap <- diff(limits) * 0.08
  at_undefined <- limits[2] + 2 * gap
  xlim <- c(limits[1], if (any(undefined)) at_undefined + gap else limits[2] + gap)
  top <- max(x$prob[shown])
  if (is.null(main)) {
    main <- sprintf("%d applicants (%d minority), %d hired; d = %s, rho = %s, retention = %s",
                    s$n_total, s$n_minority, s$n_hired, format(s$d), format(s$rho),
                    format(s$retention))
  }
  blue <- "#0072B2"
  vermilion <- "#D55E00"
  graphics::plot(x$ai[defined], x$prob[defined], type = "h", lwd = 2, col = blue, xlim = xlim,
                 ylim = c(0, top * 1.2), xlab = "impact ratio AI (minority rate / majority rate)",
                 ylab = "P(AI = a)", main = main, ...)
  if (any(undefined)) {
    graphics::segments(at_undefined, 0, at_undefined, x$prob[undefined], lwd = 6, col = vermilion)
    graphics::mtext("undefined", side = 1, at = at_undefined, line = 0.3, col = vermilion, cex = 0.8)
  }
  at <- as.numeric(rates$thresholds)
  graphics::abline(v = at, lty = 2)
  graphics::text(at, top * c(1.15, 1.05), sprintf("P(AI < %s) = %s", rates$thresholds,
                                                formatC(rates$p_ai_lt, format = "f", digits = 4)),
                 pos = 4, cex = 0.8)
  invisible(x)
}
