#pragma once
// The conversion worker: converts every job of its own copy of the job list, block by block,
// with the measuring and writing passes, signal processing, level measurement, and the
// acceptance or rejection of each output file. It runs on the thread that calls it and never
// touches the session it was copied from; it reports through the observer and only reads the
// run state (for an abort request).

#include "conversion/runner.h"

// What the worker starts from: a copy of the configuration and the job list.
struct WorkerInput {
    ConfigurationRecord record;
    ConfigurationTree tree;
    ConversionSettings settings;
    JobList jobs;
};

// Converts the jobs one after another until the last one has ended or an abort was requested
// (run.conversionRunning is -1), sending RunStarted and every job's events, but not RunFinished:
// the caller sends that once this returns and everything the worker held is released.
void Conversion_RunWorker(RunState &run, const ConversionObserver &observer, WorkerInput input);
