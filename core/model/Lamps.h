#pragma once

// The four status lamps of a panel and the five pictures the exchange shows on them.
enum class Lamp { Busy, Work, Ok, NoLine };
enum class LampDisplay { LampsOff, ShowSending, ShowOk, ShowBusy, ShowNoLine };
