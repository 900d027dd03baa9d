// A Windows thread ended by force (TerminateThread) does not unwind.
extern const bool kForcedEndUnwinds = false;
