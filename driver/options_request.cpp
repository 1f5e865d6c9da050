#include "driver/options_request.hpp"

#include "sampler/sample_scheduler.hpp"

namespace pellimor {

RunRequest request_of(const Options& options) {
    RunRequest request;
    request.method = options.dags ? METHOD_DAGS : options.exact ? METHOD_EXACT : METHOD_WALK;
    request.start = options.start;
    request.edge_bound = options.edge_bound;
    request.n_vars = options.n_vars;
    request.n_its = options.n_its;
    request.n_samples = options.n_samples;
    request.seed = options.seed.value_or(0);
    request.threads = options.threads.value_or(usable_cpu_count());
    request.full_check = options.full_check;
    if (options.samples) {
        request.records = samples_layout(options);
    }
    // Records with graphs count the vees too, since writing them costs more
    // anyway; records without count them with --stats only.
    request.count_vees =
        options.stats || (request.records && request.records->graphs != RecordGraphs::NONE);
    request.summary = options.summary || options.json.has_value();
    return request;
}

}  // namespace pellimor
