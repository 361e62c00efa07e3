// A byte ring between one interrupt handler, its only writer, and the
// frame loop, its only reader: each index has one writer and is one 32-bit
// word, so neither side locks or turns interrupts off. It holds at most
// RING_SIZE - 1 bytes, so that a full ring never reads as empty.
#pragma once
#include <stdint.h>

namespace kern {

const uint32_t RING_SIZE = 256;

struct ByteRing {
    volatile uint8_t bytes[RING_SIZE];
    volatile uint32_t writehead;   // written by the interrupt side only
    volatile uint32_t readhead;    // written by the reader only
};

inline uint32_t ring_next(uint32_t index) { return (index + 1) % RING_SIZE; }

// Back to empty and zero, as at load.
inline void ring_reset(ByteRing& ring)
{
    for (uint32_t i = 0; i < RING_SIZE; i++)
        ring.bytes[i] = 0;
    ring.writehead = 0;
    ring.readhead = 0;
}

// Either side: whether `room` more bytes fit. The reader's answer can only
// grow, the writer's only shrink, until each acts.
inline bool ring_has_room(const ByteRing& ring, uint32_t room)
{
    uint32_t used = (ring.writehead - ring.readhead) % RING_SIZE;
    return used + room <= RING_SIZE - 1;
}

// Interrupt side. The byte goes in before the index moves past it; a full
// ring drops the newest byte and keeps the queue.
inline void ring_put(ByteRing& ring, uint8_t byte)
{
    uint32_t w = ring.writehead;
    uint32_t next = ring_next(w);
    if (next == ring.readhead)
        return;
    ring.bytes[w] = byte;
    ring.writehead = next;
}

// The reader: the oldest byte, removed; 0 when the ring is empty.
inline uint8_t ring_get(ByteRing& ring)
{
    uint32_t r = ring.readhead;
    if (r == ring.writehead)
        return 0;
    uint8_t byte = ring.bytes[r];
    ring.readhead = ring_next(r);   // only now may the slot be written again
    return byte;
}

} // namespace kern
