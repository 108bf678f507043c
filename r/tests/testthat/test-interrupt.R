# The interrupt path: R's SIGINT handler, the poll on R's thread, the cancel flag, every thread
# joined, and R's own interrupt condition. A long grid: 200 large scenarios take many seconds.
long_grid <- function(...) {
  ai_summary(30000, 24000, 3000, 0.8, 0.4, seq(0.3, 0.7, length.out = 200), threads = 2, ...)
}

test_that("an interrupt during ai_summary ends it promptly with R's interrupt, no thread left", {
  skip_if_not(file.exists("/proc/self/status"), "counts threads through Linux's /proc")
  before <- process_threads()
  tarven:::interrupt_after_polls(3)  # SIGINT, as Ctrl-C sends it, at the third poll (~0.3 s)
  started <- Sys.time()
  caught <- tryCatch(long_grid(), interrupt = function(e) e)
  elapsed <- as.numeric(Sys.time() - started, units = "secs")
  expect_s3_class(caught, "interrupt")
  expect_lt(elapsed, 1.5)
  expect_identical(process_threads(), before)
  # R is usable, and the hook was used once.
  expect_identical(ai_summary(10, 7, 4, 0.5, 0.3, 0.6)$status, "ok")
})

test_that("an interrupt during ai_distribution ends it the same way", {
  skip_if_not(file.exists("/proc/self/status"), "counts threads through Linux's /proc")
  before <- process_threads()
  tarven:::interrupt_after_polls(1)
  caught <- tryCatch(ai_distribution(30000, 24000, 3000, 0.8, 0.4, 0.5, engine = "nested"),
                     interrupt = function(e) e)
  expect_s3_class(caught, "interrupt")
  expect_identical(process_threads(), before)
})

test_that("Ctrl-C from outside returns to R within a second", {
  skip_if_not(file.exists("/proc/self/status"), "counts threads through Linux's /proc")
  skip_if(!nzchar(Sys.which("kill")) || !nzchar(Sys.which("date")), "needs kill and date")
  signalled <- tempfile()
  script <- tempfile(fileext = ".R")
  on.exit(unlink(c(signalled, script)))
  kill_later <- paste0("system(sprintf('(sleep 1; date +%%s.%%N > ", signalled,
                       "; kill -INT %d) >/dev/null 2>&1 &', Sys.getpid()))")
  writeLines(c(
    sprintf(".libPaths(%s)", paste(deparse(.libPaths()), collapse = "")),
    "library(tarven)",
    "threads <- function() grep('^Threads:', readLines('/proc/self/status'), value = TRUE)",
    "before <- threads()",
    kill_later,
    "r <- tryCatch(ai_summary(30000, 24000, 3000, 0.8, 0.4, seq(0.3, 0.7, length.out = 200),",
    "                         threads = 2), interrupt = function(e) 'interrupted')",
    "back <- as.numeric(Sys.time())",
    sprintf("at <- as.numeric(readLines('%s'))", signalled),
    "cat(r, back - at, identical(threads(), before), ai_summary(10, 7, 4, 0, 0, 0.5)$status, '\\n')"),
    script)
  out <- system2(file.path(R.home("bin"), "Rscript"), script, stdout = TRUE, stderr = TRUE)
  words <- strsplit(trimws(tail(out, 1)), " ")[[1]]
  expect_identical(words[1], "interrupted", label = paste(out, collapse = "\n"))
  expect_lt(as.numeric(words[2]), 1)
  expect_identical(words[3:4], c("TRUE", "ok"))
})
