# The package against the command line, where the built program is at hand: the same library
# behind both faces, so the same numbers under the same names.

run_json <- function(args) {
  out <- system2(tarven_program(), c("run", args, "--format", "json"), stdout = TRUE)
  paste(out, collapse = "\n")
}

# The value of "name" in the program's JSON (each summary name occurs once): NA for null.
json_value <- function(json, name) {
  m <- regmatches(json, regexec(sprintf('"%s": (null|"[^"]*"|[-+0-9.eE]+)', name), json))[[1]]
  if (!length(m)) return(NULL)
  if (m[2] == "null") NA else if (startsWith(m[2], "\"")) gsub("\"", "", m[2]) else as.numeric(m[2])
}

test_that("ai_summary gives the numbers of `tarven run --format json`", {
  skip_without_program()
  scenarios <- rbind(
    c(10, 7, 4, 0.5, 0.3, 0.6), c(100, 80, 18, 0, 0.5, 0.5), c(300, 240, 60, 1, 0.5, 0.3),
    c(1000, 800, 100, 0.8, 0.4, 0.5), c(50, 5, 10, -0.7, 0, 0.999999), c(60, 30, 59, 2, -0.9, 0.2),
    c(2, 1, 1, 0, 0, 0.5), c(500, 250, 250, 3, 0.999, 0.000001), c(400, 100, 40, -1.5, 0.2, 0.8),
    c(3000, 2900, 300, 0.4, -0.3, 0.7), c(80, 60, 80, 0.9, 0.6, 0.4), c(20, 12, 3, 10, 0.1, 0.5))
  engines <- c("nested", rep("single", nrow(scenarios) - 1))
  for (i in seq_len(nrow(scenarios))) {
    s <- scenarios[i, ]
    mine <- ai_summary(s[1], s[2], s[3], s[4], s[5], s[6], threshold = c(0.8, 0.9), alpha = 0.01,
                       engine = engines[i])
    args <- c("--n-total", s[1], "--n-majority", s[2], "--n-hired", s[3], "--d", s[4], "--rho", s[5],
              "--retention", s[6], "--threshold", "0.8", "--threshold", "0.9", "--alpha", "0.01",
              "--engine", engines[i])
    json <- run_json(args)
    for (name in names(mine)) {
      theirs <- json_value(json, name)
      label <- sprintf("scenario %d, %s", i, name)
      expect_false(is.null(theirs), label = label)
      if (is.character(mine[[name]]) || is.na(mine[[name]])) {
        expect_identical(is.na(mine[[name]]), is.na(theirs), label = label)
        if (!is.na(theirs)) expect_identical(mine[[name]], theirs, label = label)
      } else {
        expect_lt(abs(mine[[name]] - theirs), 1e-12, label = label)
      }
    }
  }
})

# ai_grid of read.csv of the scenarios, beside read.csv of what `tarven grid` writes for them.
expect_grid_alike <- function(lines, refused) {
  input <- tempfile(fileext = ".csv")
  output <- tempfile(fileext = ".csv")
  on.exit(unlink(c(input, output)))
  writeLines(lines, input)
  status <- system2(tarven_program(), c("grid", input, "-o", output, "--threshold", "0.8",
                                        "--threshold", "0.75", "--jobs", "2", "--quiet"))
  expect_identical(status, if (refused > 0) 1L else 0L)  # 1: finished, some scenarios not ok
  theirs <- read.csv(output)
  theirs$cpu_seconds <- NULL
  theirs$tarven_version <- NULL
  expect_warning(mine <- ai_grid(read.csv(input), threshold = c(0.8, 0.75)),
                 sprintf("%d refused", refused))
  expect_identical(names(mine), names(theirs))
  # read.csv types a column by its text (all NA is logical, whole numbers integer); ours are
  # typed by the library's kind of column.
  for (name in names(mine)) {
    if (all(is.na(theirs[[name]]))) storage.mode(theirs[[name]]) <- typeof(mine[[name]])
  }
  # R's reading of decimal text is not always correctly rounded: read.csv may be a unit in the
  # last place off the program's shortest round-trip digits (0.434944177358945 reads as
  # 0.43494417735894497, not 0.43494417735894503), which ai_grid, never going through text, is not.
  expect_equal(mine, theirs, tolerance = 4 * .Machine$double.eps)
}

test_that("ai_grid equals what read.csv makes of `tarven grid` for the same rows", {
  skip_without_program()
  expect_grid_alike(c(
    "condition,retention,n_total,n_majority,scenario_id,n_hired,d,rho,wave",
    "\"fair, small\",0.5,50,40,s1,10,0,0,1",
    "fair,0.5,100,80,,20,0,0,1",
    "gap,0.3,300,240,s3,60,1,0.5,2",
    "too many hired,0.5,100,80,s4,120,0,0,2",
    "missing d,0.5,100,80,s5,20,,0,3",
    "half,0.6,60,30,s6,30,0.4,-0.2,3"), refused = 2)
  # Sizes as counts or shares, each row giving one of each; the shares are passed through.
  expect_grid_alike(c(
    "n_total,minority_share,n_minority,selection_ratio,n_hired,d,rho,retention",
    "100,0.2,,0.18,,0,0.5,0.5",
    "300,,60,,45,0.8,0.4,0.5",
    "200,0.25,,,30,-0.5,0.2,0.9",
    "90,0.3,27,0.1,,0.5,0.3,0.6",
    "75,0.2,,0.3333,,0.5,0.3,0.6"), refused = 2)
})
