#pragma once

#include "app/AppServices.h"

namespace app {

// The tempo estimate of the audio layer, for the window's "Open Music File".
class AudioTempoEstimator : public TempoEstimator {
public:
    TempoEstimate Estimate(const std::string& path,
                           const std::function<void(int percent)>& progress) override;
};

} // namespace app
