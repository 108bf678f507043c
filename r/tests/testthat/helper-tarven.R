# The built command-line program, from TARVEN_PROGRAM or the PATH; "" when there is none.
tarven_program <- function() {
  given <- Sys.getenv("TARVEN_PROGRAM")
  if (nzchar(given)) return(given)
  unname(Sys.which("tarven"))
}

skip_without_program <- function() {
  if (!nzchar(tarven_program()))
    skip("the tarven program is neither on the PATH nor named by TARVEN_PROGRAM")
}

# Threads of this process, from Linux's /proc.
process_threads <- function() {
  status <- readLines("/proc/self/status")
  as.integer(sub("^Threads:\\s*", "", grep("^Threads:", status, value = TRUE)))
}
