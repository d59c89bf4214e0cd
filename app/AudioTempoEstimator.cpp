#include "app/AudioTempoEstimator.h"

#include "audio/EstimateBpm.h"

namespace app {

TempoEstimate AudioTempoEstimator::Estimate(const std::string& path,
                                            const std::function<void(int percent)>& progress) {
    auto result = audio::EstimateBpm(path, progress);
    if (!result) {
        return {std::nullopt, result.error().message};
    }
    return {result.value(), {}};
}

} // namespace app
