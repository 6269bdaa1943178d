<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en_US">
<context>
    <name>StringTable</name>
    <message>
        <source>About Tarvex(&amp;A)...</source>
        <translation>Tarvexのバージョン情報(&amp;A)...</translation>
    </message>
    <message>
        <source>This data is not compatible with KR640.</source>
        <translation>このデータはKR640には使えません</translation>
    </message>
    <message>
        <source>Read error</source>
        <translation>読み込みエラー</translation>
    </message>
    <message>
        <source>Write error</source>
        <translation>書き込みエラー</translation>
    </message>
    <message>
        <source>The writing suceeded.</source>
        <translation>データを書き込みました</translation>
    </message>
    <message>
        <source>The data will be initialized to the default setting. Are you sure?</source>
        <translation>データを初期化します。宜しいですか?</translation>
    </message>
    <message>
        <source>If this parameter is modified, other parameters have to be initialized. Are you sure?</source>
        <translation>この設定を変更すると、他の設定値も初期化されます。宜しいですか?</translation>
    </message>
    <message>
        <source>File read error.</source>
        <translation>読み込みエラー</translation>
    </message>
    <message>
        <source>The file </source>
        <translation>ファイル </translation>
    </message>
    <message>
        <source> already exist. May I overwrite the file?</source>
        <translation> は既に存在します。上書きしますか?</translation>
    </message>
    <message>
        <source>Save file</source>
        <translation>ファイルの保存</translation>
    </message>
    <message>
        <source>File write error.</source>
        <translation>書き込みエラー</translation>
    </message>
    <message>
        <source>There is not enough space in the drive.</source>
        <translation>ディスクに十分な空き容量がありません</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>不明なエラーです</translation>
    </message>
    <message>
        <source>The connection failed.</source>
        <translation>接続に失敗しました</translation>
    </message>
    <message>
        <source>A KR640 is not connected.</source>
        <translation>KR640が接続されていません</translation>
    </message>
    <message>
        <source>The connection succeeded.</source>
        <translation>接続に成功しました</translation>
    </message>
    <message>
        <source>The device driver for TBX-3 is not installed.</source>
        <translation>TBX-3のデバイスドライバがインストールされていません</translation>
    </message>
    <message>
        <source>A TBX-3 is not connected.</source>
        <translation>TBX-3が接続されていません</translation>
    </message>
    <message>
        <source>The TBX-3 is not working.</source>
        <translation>TBX-3が正常に動作していません</translation>
    </message>
    <message>
        <source>Please set the first limit point.</source>
        <translation>リミットポイント1をセットして下さい</translation>
    </message>
    <message>
        <source>Please set the second limit point.</source>
        <translation>リミットポイント2をセットして下さい</translation>
    </message>
    <message>
        <source>Push the write button.</source>
        <translation>書き込みボタンを押してください</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>右</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>左</translation>
    </message>
    <message>
        <source>Right/In</source>
        <translation>右/イン</translation>
    </message>
    <message>
        <source>Right/Out</source>
        <translation>右/アウト</translation>
    </message>
    <message>
        <source>Left/In</source>
        <translation>左/イン</translation>
    </message>
    <message>
        <source>Left/Out</source>
        <translation>左/アウト</translation>
    </message>
    <message>
        <source>Out of valid range.</source>
        <translation>設定範囲外です</translation>
    </message>
    <message>
        <source>You cannot set limit points for same direction.</source>
        <translation>同じ方向にリミットポイントを設定することは出来ません</translation>
    </message>
    <message>
        <source>Limit setting was aborted.</source>
        <translation>リミット設定を中止しました</translation>
    </message>
    <message>
        <source>The data have not been written to the gyro yet. Do you want to write data to the gyro?</source>
        <translation>データがKR640に書き込まれていません。終了する前に書き込みますか?</translation>
    </message>
    <message>
        <source>The values will not be stored.</source>
        <translation>データの変更を破棄します。</translation>
    </message>
    <message>
        <source>The gyro&apos;s current settings could not be backed up to %1 (%2). Write anyway?</source>
        <translation>ジャイロの現在の設定を %1 にバックアップできませんでした (%2)。書き込みを続けますか?</translation>
    </message>
    <message>
        <source>The gyro&apos;s current settings could not be backed up to %1 (%2). Nothing was written; --no-backup writes without a backup.</source>
        <translation>ジャイロの現在の設定を %1 にバックアップできませんでした (%2)。書き込みは行われていません。--no-backup を指定するとバックアップなしで書き込みます。</translation>
    </message>
    <message>
        <source>%1 is in the backups folder (%2), which only the backup before a write fills. Please choose another file.</source>
        <translation>%1 はバックアップフォルダー (%2) にあります。このフォルダーには書き込み前のバックアップだけが保存されます。別のファイルを選んでください。</translation>
    </message>
</context>
</TS>
