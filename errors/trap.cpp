#include "errors/trap.h"

#include "errors/err_ptnr.h"
#include "toolkit/platform.h"

#include <algorithm>

namespace fw {

Trap::Trap(std::string_view module, std::string_view procedure) : module_(module), procedure_(procedure) {}

Trap Trap::silent()
{
    Trap trap("", "");
    trap.silent_ = true;
    return trap;
}

Trap& Trap::ignoring(int error_number)
{
    ignored_.push_back(error_number);
    return *this;
}

Trap::Answer Trap::decide(int line, const RuntimeError& error)
{
    if (silent_ || std::find(ignored_.begin(), ignored_.end(), error.number()) != ignored_.end())
        return Answer::next;
    int& reports = reports_[line];
    if (reports >= max_reports_per_line) return Answer::next;
    ++reports;
    switch (ErrPtnr::instance().OnError(module_, procedure_, error, line)) {
    case 0: return reports >= max_reports_per_line ? Answer::next : Answer::retry;
    case 1: return Answer::next;
    case 2: left_ = true; return Answer::leave;
    default: break;
    }
    platform().end_program();
    return Answer::leave;  // not reached
}

}  // namespace fw
