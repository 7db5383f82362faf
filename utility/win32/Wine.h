#pragma once

// Whether the program runs under Wine rather than Windows: for the few places
// where Wine, on measurement, does not do what Microsoft documents. Windows only.
class Wine {
public:
    static bool IsHost();
};
