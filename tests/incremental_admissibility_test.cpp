// The incremental test is not built yet.
