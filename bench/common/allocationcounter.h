#pragma once

#include <benchmark/benchmark.h>

// Heap allocations made by the whole program so far (the global operator new is replaced in
// allocationcounter.cpp).
long long allocationCount();

// Reports the allocations made while it lives as the "allocs/iter" counter of a benchmark.
class AllocationCounter
{
public:
    explicit AllocationCounter(benchmark::State& state) : m_state(state), m_start(allocationCount()) {}
    ~AllocationCounter()
    {
        m_state.counters["allocs/iter"] =
            benchmark::Counter(double(allocationCount() - m_start), benchmark::Counter::kAvgIterations);
    }

private:
    benchmark::State& m_state;
    long long m_start;
};
