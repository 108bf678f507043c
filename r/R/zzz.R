.onLoad <- function(libname, pkgname) {
  # The package passes the library's structures by their layout in the headers it was compiled
  # with: a library of another version, installed since, is refused rather than misread.
  versions <- .Call(C_tarven_library_versions)
  if (versions[["headers"]] != versions[["library"]]) {
    stop(sprintf(paste("tarven was built against the TARVEN library %s but loads version %s;",
                       "reinstall it with 'bash tools/install_r.sh' from the TARVEN repository"),
                 versions[["headers"]], versions[["library"]]), call. = FALSE)
  }
  # The columns `tarven grid` reads a scenario from, as the library names them: grid_needs has
  # one entry a need, the columns of which a row gives exactly one; the shares are also passed
  # through to the output as given, the other inputs are columns of the summary.
  inputs <- .Call(C_tarven_input_names)
  the$grid_inputs <- inputs$name
  the$grid_needs <- unname(split(inputs$name, inputs$need))
  the$grid_shares <- inputs$name[inputs$share]
}
