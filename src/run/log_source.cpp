#include "run/log_source.hpp"

run_source start_log_source(log_source& log, byte_source raw, int waits_on)
{
    start_log_input(log.input, raw);
    return {log_bytes(log.input), waits_on, false};
}

void end_log_source(log_source& log)
{
    end_log_input(log.input);
}
