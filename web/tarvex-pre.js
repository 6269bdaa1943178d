// Before the module starts: the folders that survive a visit. /tarvex is kept in IndexedDB
// (IDBFS): /tarvex/state is XDG_STATE_HOME, so the backups (state/tarvex/backups) and the
// virtual gyro's record (state/tarvex/vgyro.state) live there, and /tarvex/files holds the
// settings files the user opened or saved. The module starts once they are loaded.
Module['preRun'] = Module['preRun'] || [];
Module['preRun'].push(function() {
    ENV['XDG_STATE_HOME'] = '/tarvex/state';
    ENV['HOME'] = '/tarvex/home';
    FS.mkdir('/tarvex');
    FS.mount(IDBFS, {}, '/tarvex');
    addRunDependency('tarvex-idbfs');
    FS.syncfs(true, function(error) {
        if (error) console.warn('tarvex: the stored folders could not be loaded', error);
        for (const folder
                 of ['/tarvex/state', '/tarvex/state/tarvex', '/tarvex/files', '/tarvex/home']) {
            try {
                FS.mkdir(folder);
            } catch (e) {
                // already there
            }
        }
        removeRunDependency('tarvex-idbfs');
    });
});
