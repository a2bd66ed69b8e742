// The settings subsystem: the private settings file and window placement.
