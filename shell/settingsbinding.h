#pragma once

// The user's settings reach the looks and the keys through what is handed to them: the theme name
// to the style manager, the done key to the key mapper, now and at every change. Safe to call more
// than once.
void bindUserSettings();
