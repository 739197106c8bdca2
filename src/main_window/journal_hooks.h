#pragma once
// What the race journal records of the objects the window drives. Each hook runs on
// the thread where its event happens and takes the time there, so the journal's
// times are those of the events, not of the window's turn to see them.

class Race_journal;
class Start_trigger;

// The trigger: armed and disarmed, the board attached and detached.
void Record_trigger_events(Race_journal &journal, Start_trigger &trigger);
