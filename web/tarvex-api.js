// The module's API for the page (described in web/WebWindow.h): the call queue, the
// stream's ticker, the stored folders. Appended to the module's own code (--post-js).

Module['tarvexFilesFolder'] = '/tarvex/files';
Module['tarvexStateFolder'] = '/tarvex/state/tarvex';

// A string for the C++ side, allocated with malloc (the receiver frees it).
Module['tarvexNewString'] = function(text) {
    const size = lengthBytesUTF8(text) + 1;
    const pointer = _malloc(size);
    stringToUTF8(text, pointer, size);
    return pointer;
};

// ---- The call queue: one call at a time --------------------------------------------------
// Asyncify allows no call into the module while it sleeps, so every call waits its turn.
// After each: the posted calls and the stream's frame (tarvex_after_call), then the virtual
// gyro's queued stream ticks. The files the module writes are stored as it writes them
// (web/FileStore.cpp); before a handler runs, what other pages stored since is taken in.
let tarvexTurns = Promise.resolve();
let tarvexBusy = false;
let tarvexPostScheduled = false;

// Handlers that come often and use no stored file.
const tarvexNoFiles =
    new Set(['OnSliderScroll', 'OnChannelSelected', 'OnAbout', 'UpdateRecentMenu']);

function tarvexTurn(work) {
    const turn = tarvexTurns.then(async function() {
        tarvexBusy = true;
        try {
            return await work();
        } finally {
            try {
                await ccall('tarvex_after_call', null, [], [], {async: true});
            } finally {
                tarvexBusy = false;
                tarvexStream.flush();
            }
        }
    });
    tarvexTurns = turn.catch(function() {});
    return turn;
}

Module['tarvexCall'] = function(name, arg) {
    return tarvexTurn(async function() {
        if (!tarvexNoFiles.has(String(name))) await Module['tarvexStore'].refresh();
        const lines = Array.isArray(arg) ? arg.map(String).join('\n') : '';
        const index = typeof arg === 'number' ? arg : 0;
        const result = await ccall(
            'tarvex_call', 'number', ['string', 'number', 'string'], [String(name), index, lines],
            {async: true});
        if (result === -1) throw new Error('tarvex: no handler ' + name + ' (or no dialog yet)');
        if (result === -2) throw new Error('tarvex: ' + name + ' ended by an error');
        return name === 'OnInitDialog' ? result === 1 : result;
    });
};

// Called by the module when it posted a call: a turn of its own runs it, unless the
// running turn's end does.
Module['tarvexPosted'] = function() {
    if (tarvexBusy || tarvexPostScheduled) return;
    tarvexPostScheduled = true;
    setTimeout(function() {
        tarvexPostScheduled = false;
        tarvexTurn(async function() {});
    }, 0);
};

Module['tarvexIdle'] = function() {
    return tarvexTurns;
};

// Runs work (an async function) in a turn of its own: the files folders are the page's
// while it runs (an import of backups, their export).
Module['tarvexWithFiles'] = function(work) {
    return tarvexTurn(async function() {
        await Module['tarvexStore'].refresh();
        return work();
    });
};

// The synchronous calls: not while the module sleeps in a call (awaiting a box, a port or
// a pause: Asyncify allows no call into it then, it would hang the page), else an Error.
// From the window's callbacks (the module running, not sleeping) they are fine.
function tarvexWhenIdle(what) {
    if (Asyncify.currData) {
        throw new Error('tarvex: ' + what + ' while the module waits; wait for tarvexIdle()');
    }
}

Module['tarvexQuery'] = function(name) {
    if (tarvexBusy || Asyncify.currData) return false;
    const answer = ccall('tarvex_query', 'number', ['string'], [String(name)]);
    if (answer < 0) return false;
    return answer === 1;
};

// The window's settings file (what Save writes) at path in the module's files; false when
// it could not be written.
// A call of its own in the queue: saving may wait on the browser's storage.
Module['tarvexSaveCopy'] = function(path) {
    return tarvexTurn(async function() {
        const result =
            await ccall('tarvex_save_copy', 'number', ['string'], [String(path)], {async: true});
        return result === 1;
    });
};

Module['tarvexCaption'] = function(source, comment) {
    tarvexWhenIdle('tarvexCaption');
    return ccall(
        'tarvex_caption', 'string', ['string', 'string'],
        [String(source), comment ? String(comment) : '']);
};

Module['tarvexText'] = function(id) {
    tarvexWhenIdle('tarvexText');
    return ccall('tarvex_text', 'string', ['number'], [id]);
};

Module['tarvexSetLanguage'] = function(code) {
    tarvexWhenIdle('tarvexSetLanguage');
    const languages = (globalThis.navigator && navigator.languages) || [];
    return ccall(
        'tarvex_set_language', 'string', ['string', 'string'],
        [code ? String(code) : '', Array.from(languages).join('\n')]);
};

Module['tarvexUseVirtualGyro'] = function() {
    tarvexWhenIdle('tarvexUseVirtualGyro');
    ccall('tarvex_use_virtual_gyro', null, [], []);
};

// The linked-in virtual gyro's faults (the list of sim/VirtualGyroControl.h, '' for none),
// for tests of the failure paths: true when the list parsed.
Module['tarvexVirtualGyroFaults'] = function(list) {
    tarvexWhenIdle('tarvexVirtualGyroFaults');
    return ccall('vgyro_set_faults', 'number', ['string'], [String(list || '')]) === 0;
};

Module['tarvexUsePort'] = function() {
    tarvexWhenIdle('tarvexUsePort');
    ccall('tarvex_use_port', null, [], []);
};

// ---- The stream's ticker -------------------------------------------------------------------
// The frame the module handed last goes out every period: to the port directly, or to the
// linked-in virtual gyro through tarvex_stream_tick whenever the module is idle (ticks that
// come while it is busy wait, at most 100, and go out when it is idle again). The ticks come
// from a dedicated Worker, whose timers keep their period in a hidden tab; without one,
// from the page's own timer.
const tarvexStream = (function() {
    let frame = null;
    let kind = '';
    let running = false;
    let worker = null;
    let fallback = 0;
    let writing = null;  // the port write under way
    let pending = 0;     // virtual gyro ticks waiting for the module
    let sent = 0;
    let last = 0;
    const intervals = [];

    // The page's own timer when the Worker cannot run (no Worker, or the site's policy
    // refuses it).
    function useFallback(period) {
        worker = null;
        if (running && !fallback) fallback = setInterval(tick, period);
    }

    function startTicks(period) {
        last = 0;
        try {
            if (!worker) {
                worker = new Worker(locateFile('tarvex-ticker.js'));
                worker.onmessage = tick;
                worker.onerror = function() { useFallback(period); };
            }
            worker.postMessage(period);
        } catch (e) {
            useFallback(period);
        }
    }

    function stopTicks() {
        if (worker) worker.postMessage(0);
        if (fallback) clearInterval(fallback);
        fallback = 0;
    }

    function failed() {
        running = false;
        stopTicks();
        tarvexTurn(
            async function() { await ccall('tarvex_stream_failed', null, [], [], {async: true}); });
    }

    function tick() {
        if (!running) return;
        const now = performance.now();
        if (last) {
            intervals.push(now - last);
            if (intervals.length > 1200) intervals.shift();
        }
        last = now;
        if (kind === 'port') {
            if (writing) return;  // the frame before is still going out
            const bytes = frame.slice();
            writing = Promise.resolve()
                          .then(function() { return globalThis.tarvexPort.write(bytes); })
                          .then(
                              function() { sent += 1; },
                              function() {
                                  if (running) failed();
                              })
                          .finally(function() { writing = null; });
        } else if (tarvexBusy) {
            pending = Math.min(pending + 1, 100);
        } else {
            pending += 1;
            flush();
        }
    }

    function flush() {
        if (kind !== 'vgyro') return;
        while (running && pending > 0 && !tarvexBusy) {
            pending -= 1;
            if (_tarvex_stream_tick() !== 0) {
                running = false;
                stopTicks();
            }
        }
        if (!running) pending = 0;
    }

    return {
        start: function(bytes, period, how) {
            frame = bytes;
            kind = how;
            running = true;
            pending = 0;
            sent = 0;
            intervals.length = 0;
            startTicks(period);
        },
        frame: function(bytes) { frame = bytes; },
        stop: async function() {
            running = false;
            pending = 0;
            stopTicks();
            if (writing) await writing;
        },
        frames: function() { return sent; },
        flush: flush,
        info: function() {
            return {running: running, kind: kind, frames: sent, tickMs: intervals.slice()};
        },
    };
})();
Module['tarvexStream'] = tarvexStream;
Module['tarvexStreamInfo'] = function() {
    return tarvexStream.info();
};
