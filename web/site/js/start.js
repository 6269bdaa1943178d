// The start screen and the dialog's life: the adapter's link chosen, the dialog started.
import {call} from './calls.js';
import {openLaunchFiles} from './files.js';
import {checkAdapter, holdAdapter, letGoOfAdapter} from './lock.js';
import {$, page} from './page.js';
import {keepBackups} from './storage.js';

export function showStart() {
    letGoOfAdapter();  // the dialog's link is closed by now
    checkAdapter();
    $('#window').hidden = true;
    $('#start').hidden = false;
    document.title = 'Tarvex';
    $('#title').textContent = 'Tarvex';
}

export async function startDialog(useVirtualGyro, port = null) {
    if (!page.Module) return;
    // Another page holding the adapter keeps it: its start screen says so (a remembered
    // adapter connecting by itself included).
    if (!useVirtualGyro && !(await holdAdapter())) return;
    if (useVirtualGyro) {
        globalThis.tarvexPort = null;  // no link in the window
        page.Module.tarvexUseVirtualGyro();
    } else {
        globalThis.tarvexPort = port;
        page.Module.tarvexUsePort();
    }
    delete document.documentElement.dataset.ended;
    $('#start').hidden = true;
    $('#window').hidden = false;
    performance.mark('tarvex-init');
    const started = await call('OnInitDialog');
    if (!started) {
        showStart();
        return;
    }
    page.running = true;
    if (!useVirtualGyro) keepBackups();
    performance.mark('tarvex-ready');
    document.documentElement.dataset.ready = '1';
    await openLaunchFiles();
}

async function loadPort(file) {
    try {
        return await import(file);
    } catch {
        return null;  // this build has no such port
    }
}

export async function wireStart() {
    const [serial, usb] =
        await Promise.all([loadPort('./serial-port.js'), loadPort('./usb-port.js')]);
    const hasSerial = serial ? serial.hasWebSerial() : 'serial' in navigator;
    const hasUsb = usb ? usb.hasWebUsb() : false;
    $('#connect-serial').hidden = !hasSerial || !serial;
    $('#connect-usb').hidden = !hasUsb;
    // Where USB is the only link to the adapter (Chrome on Android), it is the main button.
    $('#connect-usb').classList.toggle('primary', hasUsb && !hasSerial);
    // The notice is for a browser that reaches the adapter by neither link.
    $('#no-serial').hidden = hasSerial || hasUsb;
    const connect = async (choose) => {
        if (!page.Module || page.busy) return;
        if (!(await holdAdapter())) return;  // another page has it: the start screen says so
        let port = null;
        try {
            port = await choose();
        } catch (error) {
            $('#start-status').textContent = String(error.message || error);
            letGoOfAdapter();
            return;
        }
        if (port)
            await startDialog(false, port);
        else
            letGoOfAdapter();  // cancelling the chooser changes nothing
    };
    $('#connect-serial').addEventListener('click', () => connect(serial.chooseSerialPort));
    $('#connect-usb').addEventListener('click', () => connect(usb.chooseUsbPort));
    $('#simulate').addEventListener('click', () => startDialog(true));
}
