#pragma once

// Keeps the machine from sleeping while the application runs (Windows);
// nothing elsewhere.
void KeepSystemAwake();
