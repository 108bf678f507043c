.onLoad <- function(libname, pkgname) {
  # The package passes the library's structures by their layout in the headers it was compiled
  # with: a library of another version, installed since, is refused rather than misread.
  versions <- .Call(C_tarven_library_versions)
  if (versions[["headers"]] != versions[["library"]]) {
    stop(sprintf(paste("tarven was built against the TARVEN library %s but loads version %s;",
                       "reinstall it with 'bash tools/install_r.sh' from the TARVEN repository"),
                 versions[["headers"]], versions[["library"]]), call. = FALSE)
  }
}
