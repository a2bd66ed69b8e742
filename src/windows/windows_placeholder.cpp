// The help and version windows.
