# ai_grid against `tarven grid --jobs N` on the same 1,000 scenarios with the same number of
# threads, round after round in one session, and a check that both give the same numbers.
#
#   Rscript bench/r_grid_speed.R [program] [threads] [rounds]
#
# program defaults to ./build/tarven, threads to 2, rounds to 3. Prints the median elapsed
# seconds of each and their ratio, and the processor seconds of each (all threads), which a busy
# machine disturbs less.

args <- commandArgs(trailingOnly = TRUE)
program <- if (length(args) >= 1) args[1] else "build/tarven"
threads <- if (length(args) >= 2) as.integer(args[2]) else 2L
rounds <- if (length(args) >= 3) as.integer(args[3]) else 3L
suppressPackageStartupMessages(library(tarven))

# 5 pool sizes x 4 minority shares x 5 selection ratios x 5 effect sizes x 2 pre-screenings.
g <- expand.grid(n_total = c(50, 100, 200, 500, 1000), minority = c(0.1, 0.2, 0.3, 0.5),
                 ratio = c(0.1, 0.2, 0.3, 0.5, 0.8), d = c(0, 0.25, 0.5, 0.75, 1),
                 screening = 1:2)
scenarios <- data.frame(n_total = g$n_total, n_majority = g$n_total * (1 - g$minority),
                        n_hired = g$n_total * g$ratio, d = g$d,
                        rho = c(0, 0.5)[g$screening], retention = c(1, 0.5)[g$screening] * 0.6)
stopifnot(nrow(scenarios) == 1000)
input <- tempfile(fileext = ".csv")
output <- tempfile(fileext = ".csv")
write.csv(scenarios, input, row.names = FALSE)
scenarios <- read.csv(input)

grid_times <- grid_cpu <- r_times <- r_cpu <- numeric()
for (round in seq_len(rounds)) {
  t <- system.time(system2(program, c("grid", input, "-o", output, "--jobs", threads, "--quiet")))
  grid_times[round] <- t[["elapsed"]]
  grid_cpu[round] <- t[["user.child"]] + t[["sys.child"]]
  t <- system.time(mine <- ai_grid(scenarios, threads = threads, progress = FALSE))
  r_times[round] <- t[["elapsed"]]
  r_cpu[round] <- t[["user.self"]] + t[["sys.self"]]
}
theirs <- read.csv(output)
stopifnot(all(theirs$status == "ok"), all(mine$status == "ok"))
# Every number alike; read.csv may read the program's digits a unit in the last place off.
for (name in names(mine)[vapply(mine, is.double, TRUE)]) {
  stopifnot(isTRUE(all.equal(mine[[name]], as.double(theirs[[name]]),
                             tolerance = 4 * .Machine$double.eps)))
}
cat(sprintf("1000 scenarios, %d threads, median of %d rounds: tarven grid --jobs %d %.2f s, ai_grid %.2f s, ratio %.2f\n",
            threads, rounds, threads, median(grid_times), median(r_times),
            median(r_times) / median(grid_times)))
cat(sprintf("processor seconds, median: tarven grid %.2f, ai_grid %.2f, ratio %.2f\n",
            median(grid_cpu), median(r_cpu), median(r_cpu) / median(grid_cpu)))
cat("elapsed by round (grid/R):", sprintf("%.2f/%.2f", grid_times, r_times), "\n")
