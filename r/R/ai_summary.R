ai_summary <- function(n_total, n_majority, n_hired, d, rho, retention, threshold = 0.8,
                       alpha = 0.05, quantiles = c(0.05, 0.1, 0.25, 0.5, 0.75, 0.9, 0.95),
                       engine = "single", threads = getOption("tarven.threads", 2L),
                       progress = interactive()) {
  inputs <- recycle_scenarios(list(n_total = n_total, n_majority = n_majority, n_hired = n_hired,
                                   d = d, rho = rho, retention = retention), "ai_summary")
  settings <- check_settings("ai_summary", threshold, alpha, quantiles, engine, threads, progress)
  summary_rows(inputs, settings, "ai_summary")
}

ai_grid <- function(scenarios, ...) {
  caller <- "ai_grid"
  if (!is.data.frame(scenarios))
    refuse(caller, "scenarios must be a data frame, not ", class(scenarios)[1])
  columns <- names(scenarios)
  missing <- !vapply(the$grid_needs, function(need) any(need %in% columns), TRUE)
  if (any(missing)) {
    wanted <- vapply(the$grid_needs, paste, "", collapse = " or ")
    refuse(caller, "scenarios has no column ", paste(wanted[missing], collapse = ", "),
           "; it needs ", paste(wanted, collapse = ", "), " (in any order), may have ",
           "scenario_id, and carries any other column through")
  }
  twice <- intersect(columns[duplicated(columns)], c(the$grid_inputs, "scenario_id"))
  if (length(twice))
    refuse(caller, "column \"", twice[1], "\" appears more than once; give each scenario column once")

  # The options of ai_summary, with its defaults where not given.
  given <- list(...)
  names_allowed <- c("threshold", "alpha", "quantiles", "engine", "threads", "progress")
  unknown <- setdiff(names(given), names_allowed)
  if (length(given) && (is.null(names(given)) || any(names(given) == "") || length(unknown))) {
    refuse(caller, "options are given by name, one of ", paste(names_allowed, collapse = ", "),
           if (length(unknown)) paste0("; unknown: ", paste(unknown, collapse = ", ")))
  }
  defaults <- formals(ai_summary)[names_allowed]
  options <- lapply(names_allowed, function(name) {
    if (name %in% names(given)) given[[name]] else eval(defaults[[name]], baseenv())
  })
  names(options) <- names_allowed
  settings <- do.call(check_settings, c(list(caller), options))

  # As `tarven grid` writes it: the id (the row number where none is given), the other columns of
  # the input in their order (the shares among them), then the summary.
  through <- !(columns %in% c(setdiff(the$grid_inputs, the$grid_shares), "scenario_id"))
  header <- c("scenario_id", names(summary_rows(empty_inputs(), settings, caller)))
  clashes <- intersect(columns[through], header)
  if (length(clashes)) {
    refuse(caller, "the column ", paste0("\"", clashes, "\"", collapse = ", "),
           " of scenarios is also a column of the result, which would have two of that name: ",
           "rename or remove it")
  }
  present <- intersect(the$grid_inputs, columns)
  inputs <- lapply(present, function(name) {
    check_numbers(scenarios[[name]], paste0("scenarios$", name), caller)
    as.double(scenarios[[name]])
  })
  names(inputs) <- present
  summary <- summary_rows(inputs, settings, caller)

  id <- scenarios[["scenario_id"]]
  if (is.null(id)) {
    id <- seq_len(nrow(scenarios))
  } else {
    if (is.factor(id)) id <- as.character(id)
    blank <- is.na(id) | (is.character(id) & id == "")
    id[blank] <- if (is.character(id)) as.character(which(blank)) else which(blank)
  }
  as_table(c(list(scenario_id = id), as.list(scenarios)[through], summary))
}
