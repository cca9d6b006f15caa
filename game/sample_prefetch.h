#pragma once
// Decodes sound files on one background thread ahead of their first use, so that start-up
// can open the window and load its images while the audio decodes. A prefetched sample is
// exactly what LoadAudioSample gives for the same path. Game thread only (the worker
// thread is internal and touches nothing but the files it decodes).

#include <memory>
#include <string>
#include <vector>

class TAudioSample;

// Starts decoding the files (paths or urls as LoadAudioSample takes them) in the given
// order on a background thread. A call while an earlier list is still being decoded
// first waits for that list to be decoded.
void prefetch_samples(const std::vector<std::string>& paths);

// The sample of path (nullptr when it cannot be loaded; LoadAudioSample's exceptions are
// passed on). A path given to prefetch_samples and not taken yet comes from the prefetch:
// waited for if the worker is decoding it, decoded here if the worker has not reached it.
// Each prefetched path is taken once; any other call loads the file directly.
std::shared_ptr<TAudioSample> take_prefetched_sample(const std::string& path);
