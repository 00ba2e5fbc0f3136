#include "plug/ArrivalRules.h"

namespace velda {

void ArrivalRules::instrumentArrived() {
    if (m_present) {
        return;
    }
    m_present = true;
    m_served = false;
}

void ArrivalRules::instrumentLeft() {
    m_present = false;
    m_served = false;
}

bool ArrivalRules::shouldStart(bool exchangeRunning, bool modalOpen) const {
    return m_present && !m_served && !exchangeRunning && !modalOpen;
}

void ArrivalRules::downloadStarted() {
    m_served = true;
}

} // namespace velda
