// A POSIX thread ended by force is cancelled at its next wait and unwinds.
extern const bool kForcedEndUnwinds = true;
