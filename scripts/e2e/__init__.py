"""The end-to-end tests' one harness: reporting, waiting, displays, browsers,
servers and Wine, shared by every scripts/*-e2e."""
