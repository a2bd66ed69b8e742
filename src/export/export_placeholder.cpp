// The export subsystem: encoders and the save sequence.
