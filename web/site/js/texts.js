// The page's own texts (the start screen, the message boxes' buttons, the choosers) in the
// three languages of the window. The dialog's captions and messages come from the module.
export const TEXTS = {
    en: {
        intro: 'Configure the KR640 tail-rotor gyro through the TBX\u20113 adapter.',
        connectSerial: 'Connect adapter',
        connectUsb: 'Connect over USB',
        usbClaimFailed:
            'The adapter could not be opened over USB: the system\'s serial driver may hold it. Use "Connect adapter" instead, or unload or detach that driver.',
        simulate: 'Try without an adapter',
        noSerial:
            'This browser cannot reach the adapter: Web Serial works in Chrome, Edge and Opera on a desktop computer, WebUSB in Chrome on Android. Here you can try Tarvex with the virtual gyro.',
        loading: 'Loading…',
        loadFailed: 'Tarvex could not be loaded: ',
        ok: 'OK',
        cancel: 'Cancel',
        yes: 'Yes',
        no: 'No',
        saveName: 'File name',
        backups: 'Restore Previous Settings',
        noBackups: 'There are no backups yet.',
        adapterBusy:
            'Another Tarvex window is using the adapter. End the dialog there (File ▸ Exit) or close that window, then connect here.',
        backupsMayBeCleared:
            'This browser may clear the backups Tarvex keeps before every Write. Keep copies with File ▸ Export Backups.',
        exportBackups: 'Export Backups',
        backupsImported: 'Backups imported: ',
        updateReady: 'A new version of Tarvex is ready.',
        reload: 'Reload',
        stop: 'Error',
        information: 'Information',
        exclamation: 'Warning',
        question: 'Question',
        knownAdapter: 'Adapter: %s. “Connect adapter” chooses another.',
        adapterGone:
            'The adapter is disconnected. Plug it in again: Tarvex reconnects by itself, your values stay.',
        reconnect: 'Connect',
        sharedFile: 'Shared setup',
        linkShared: 'The link to this setup was shared.',
        linkCopied: 'The link to this setup was copied: paste it into a message.',
        linkHere: 'The link to this setup:',
    },
    de: {
        intro: 'Den Heckkreisel KR640 über den Adapter TBX\u20113 einstellen.',
        connectSerial: 'Adapter verbinden',
        connectUsb: 'Über USB verbinden',
        usbClaimFailed:
            'Der Adapter ließ sich über USB nicht öffnen: Der serielle Treiber des Systems hält ihn möglicherweise. Verwenden Sie stattdessen „Adapter verbinden“ oder entladen bzw. lösen Sie diesen Treiber.',
        simulate: 'Ohne Adapter ausprobieren',
        noSerial:
            'Dieser Browser erreicht den Adapter nicht: Web Serial gibt es in Chrome, Edge und Opera auf dem Computer, WebUSB in Chrome unter Android. Hier können Sie Tarvex mit dem virtuellen Kreisel ausprobieren.',
        loading: 'Wird geladen …',
        loadFailed: 'Tarvex konnte nicht geladen werden: ',
        ok: 'OK',
        cancel: 'Abbrechen',
        yes: 'Ja',
        no: 'Nein',
        saveName: 'Dateiname',
        backups: 'Vorherige Einstellungen wiederherstellen',
        noBackups: 'Es gibt noch keine Sicherungen.',
        adapterBusy:
            'Ein anderes Tarvex-Fenster verwendet den Adapter. Beenden Sie dort den Dialog (Datei ▸ Beenden) oder schließen Sie das Fenster und verbinden Sie sich dann hier.',
        backupsMayBeCleared:
            'Dieser Browser kann die Sicherungen löschen, die Tarvex vor jedem Schreiben anlegt. Bewahren Sie Kopien mit Datei ▸ Sicherungen exportieren auf.',
        exportBackups: 'Sicherungen exportieren',
        backupsImported: 'Importierte Sicherungen: ',
        updateReady: 'Eine neue Version von Tarvex ist bereit.',
        reload: 'Neu laden',
        stop: 'Fehler',
        information: 'Information',
        exclamation: 'Warnung',
        question: 'Frage',
        knownAdapter: 'Adapter: %s. „Adapter verbinden“ wählt einen anderen.',
        adapterGone:
            'Der Adapter ist getrennt. Stecken Sie ihn wieder ein: Tarvex verbindet sich von selbst, Ihre Werte bleiben.',
        reconnect: 'Verbinden',
        sharedFile: 'Geteilte Einstellungen',
        linkShared: 'Der Link zu diesen Einstellungen wurde geteilt.',
        linkCopied:
            'Der Link zu diesen Einstellungen wurde kopiert: Fügen Sie ihn in eine Nachricht ein.',
        linkHere: 'Der Link zu diesen Einstellungen:',
    },
    ja: {
        intro: 'TBX\u20113 アダプタを使って KR640 テールジャイロを設定します。',
        connectSerial: 'アダプタに接続',
        connectUsb: 'USB で接続',
        usbClaimFailed:
            'USB でアダプタを開けませんでした。システムのシリアルドライバがアダプタを使用している可能性があります。代わりに「アダプタに接続」を使うか、そのドライバを外してください。',
        simulate: 'アダプタなしで試す',
        noSerial:
            'このブラウザはアダプタに接続できません。Web Serial はパソコン版の Chrome、Edge、Opera で、WebUSB は Android 版の Chrome で使えます。ここでは仮想ジャイロで Tarvex を試せます。',
        loading: '読み込み中…',
        loadFailed: 'Tarvex を読み込めませんでした: ',
        ok: 'OK',
        cancel: 'キャンセル',
        yes: 'はい',
        no: 'いいえ',
        saveName: 'ファイル名',
        backups: '以前の設定を復元',
        noBackups: 'バックアップはまだありません。',
        adapterBusy:
            '別の Tarvex ウィンドウがアダプタを使用しています。そちらでダイアログを終了する (ファイル ▸ 終了) か、そのウィンドウを閉じてから、ここで接続してください。',
        backupsMayBeCleared:
            'このブラウザは、Tarvex が書き込みのたびに作成するバックアップを削除することがあります。ファイル ▸ バックアップをエクスポートでコピーを保存してください。',
        exportBackups: 'バックアップをエクスポート',
        backupsImported: 'インポートしたバックアップ: ',
        updateReady: 'Tarvex の新しいバージョンを利用できます。',
        reload: '再読み込み',
        stop: 'エラー',
        information: '情報',
        exclamation: '警告',
        question: '確認',
        knownAdapter: 'アダプタ: %s。別のアダプタは「アダプタに接続」で選べます。',
        adapterGone:
            'アダプタが外れました。もう一度差し込むと Tarvex は自動で再接続します。値はそのまま残ります。',
        reconnect: '接続',
        sharedFile: '共有された設定',
        linkShared: 'この設定へのリンクを共有しました。',
        linkCopied: 'この設定へのリンクをコピーしました。メッセージに貼り付けてください。',
        linkHere: 'この設定へのリンク:',
    },
};

// The language: ?lang=en|de|ja, else the first of the browser's languages the window has,
// else English.
export function pickLanguage(search, languages) {
    const requested = new URLSearchParams(search).get('lang');
    const candidates = requested ? [requested] : languages || [];
    for (const code of candidates) {
        const base = String(code).toLowerCase().split(/[-_]/)[0];
        if (base in TEXTS) return base;
    }
    return 'en';
}
