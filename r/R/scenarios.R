# What ai_summary, ai_grid and ai_distribution share: the scenario arguments and their recycling,
# the checks of the settings, the call into the library with its progress bar, and the tables.

# Test hook: when positive, the next evaluation's poll of that number raises SIGINT, the signal
# Ctrl-C sends, so that tests take the interrupt path R takes. Used once, then cleared.
the <- new.env(parent = emptyenv())
the$interrupt_after_polls <- 0L

interrupt_after_polls <- function(polls) {
  the$interrupt_after_polls <- as.integer(polls)
  invisible()
}

take_interrupt_hook <- function() {
  polls <- the$interrupt_after_polls
  the$interrupt_after_polls <- 0L
  polls
}

refuse <- function(caller, ...) stop(paste0(caller, ": ", ...), call. = FALSE)

# Numbers (integer or double), or NA of any kind; a factor or text is refused rather than read.
check_numbers <- function(x, what, caller) {
  if ((is.numeric(x) && !is.factor(x)) || (is.logical(x) && all(is.na(x)))) return(invisible())
  refuse(caller, what, " must be numbers, not ", class(x)[1],
         if (is.character(x) || is.factor(x)) " (convert with as.numeric)")
}

# R's recycling rule: every argument of length 1 or of one common length (0 gives no scenarios).
recycle_scenarios <- function(args, caller) {
  for (name in names(args)) check_numbers(args[[name]], name, caller)
  lengths <- lengths(args)
  n <- if (any(lengths == 0L)) 0L else max(lengths)
  if (any(lengths != 1L & lengths != n)) {
    refuse(caller, "the scenario arguments must each have length 1 or one common length; got ",
           paste(names(args), lengths, collapse = ", "))
  }
  lapply(args, function(x) rep_len(as.double(x), n))
}

# The settings of an evaluation, checked as far as R can; the library checks the thresholds,
# alpha and the quantile levels (see the Rd page of ai_summary for how numbers become text).
check_settings <- function(caller, threshold, alpha, quantiles, engine, threads, progress) {
  if (is.factor(threshold)) threshold <- as.character(threshold)
  if (anyNA(threshold)) refuse(caller, "threshold must not be NA; give numbers above 0 and at most 1")
  if (!(is.numeric(threshold) || is.character(threshold)))
    refuse(caller, "threshold must be numbers (0.8) or decimal text (\"0.8\"), not ",
           class(threshold)[1])
  if (!is.numeric(alpha) || length(alpha) != 1L || is.na(alpha))
    refuse(caller, "alpha must be one number strictly between 0 and 1")
  if (!is.numeric(quantiles) || anyNA(quantiles))
    refuse(caller, "quantiles must be numbers above 0 and at most 1, without NA")
  if (!is.character(engine) || length(engine) != 1L || is.na(engine))
    refuse(caller, "engine must be one word: \"single\" or \"nested\"")
  check_threads(caller, threads)
  if (!isTRUE(progress) && !isFALSE(progress)) refuse(caller, "progress must be TRUE or FALSE")
  list(threshold = threshold, alpha = as.double(alpha), quantiles = as.double(quantiles),
       engine = engine, threads = as.integer(threads), progress = progress)
}

check_threads <- function(caller, threads) {
  if (!is.numeric(threads) || length(threads) != 1L || is.na(threads) || threads < 1 ||
      threads > 1024 || threads != round(threads))
    refuse(caller, "threads = ", paste(format(threads), collapse = " "),
           ": must be one whole number from 1 to 1024")
}

# A text progress bar that appears only once the library asks for it (after half a second).
progress_bar <- function(enabled) {
  bar <- NULL
  list(
    update = if (enabled) function(done, total) {
      if (is.null(bar)) bar <<- utils::txtProgressBar(min = 0, max = total, style = 3)
      utils::setTxtProgressBar(bar, done)
    },
    close = function() if (!is.null(bar)) close(bar)
  )
}

# No scenario at all: the columns' names without an evaluation.
empty_inputs <- function() {
  inputs <- rep(list(numeric()), length(the$grid_inputs))
  names(inputs) <- the$grid_inputs
  inputs
}

as_table <- function(columns) {
  n <- if (length(columns)) length(columns[[1]]) else 0L
  structure(columns, class = "data.frame", row.names = .set_row_names(n))
}

# The summary columns of the scenarios (a list of equal-length numeric vectors named among
# the$grid_inputs), one row each.
summary_rows <- function(inputs, settings, caller) {
  bar <- progress_bar(settings$progress)
  on.exit(bar$close())
  answer <- .Call(C_tarven_summarise, inputs, settings$threshold, settings$alpha,
                  settings$quantiles, settings$engine, settings$threads, bar$update,
                  take_interrupt_hook())
  if (!is.null(answer$error)) refuse(caller, answer$error)
  table <- as_table(answer$columns)
  warn_not_ok(table, caller)
  table
}

# One warning for every row that is not ok, counting the refused ones, with the first reason.
warn_not_ok <- function(table, caller) {
  bad <- which(table$status != "ok")
  if (!length(bad)) return(invisible())
  refused <- sum(table$status == "invalid")
  others <- table(table$status[bad][table$status[bad] != "invalid"])
  parts <- c(if (refused) sprintf("%d refused (status \"invalid\")", refused),
             if (length(others)) sprintf("%d not computed (status \"%s\")", others, names(others)))
  warning(sprintf("%s: %d of %d scenarios not ok: %s; the error column says why (row %d: %s)",
                  caller, length(bad), nrow(table), paste(parts, collapse = ", "), bad[1],
                  table$error[bad[1]]), call. = FALSE)
}
