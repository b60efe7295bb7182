"""Type stubs of the quillmere module: DBC, LDF and ARXML network descriptions with frame
decoding and encoding."""
import array
import enum
import os
from typing import Any, Dict, Iterable, Iterator, List, Literal, NamedTuple, Optional, Sequence, Union, overload

_Path = Union[str, bytes, os.PathLike]
_Bytes = Union[bytes, bytearray, memoryview]
_FrameKey = Union[int, str]
_Value = Union[float, int, str, bytes]

class DbcStatus(enum.IntEnum):
    NOT_LOADED = 0
    LOADED = 1
    LOADED_WITH_WARNINGS = 2
    UNSUPPORTED_KEYWORD = 3
    UNDEFINED_TAG = 4
    FILE_NOT_OPENED = 5
    BAD_VERSION = 6
    BAD_NEW_SYMBOLS = 7
    BAD_BUS_TIMING = 8
    BAD_NODES = 9
    BAD_VALUE_TABLE = 10
    BAD_MESSAGE = 11
    BAD_SIGNAL = 12
    BAD_MESSAGE_TRANSMITTERS = 13
    BAD_ENVIRONMENT_VARIABLE = 14
    BAD_ENVIRONMENT_VARIABLE_DATA = 15
    BAD_COMMENT = 16
    BAD_ATTRIBUTE_DEFINITION = 17
    BAD_RELATION_ATTRIBUTE_DEFINITION = 18
    BAD_ATTRIBUTE_DEFAULT = 19
    BAD_RELATION_ATTRIBUTE_DEFAULT = 20
    BAD_ATTRIBUTE_VALUE = 21
    BAD_RELATION_ATTRIBUTE_VALUE = 22
    BAD_VALUE_DESCRIPTIONS = 23
    BAD_SIGNAL_VALUE_TYPE = 24
    BAD_SIGNAL_GROUP = 25

class LdfStatus(enum.IntEnum):
    LOADED = 0
    BAD_PROTOCOL_VERSION = 12
    BAD_LANGUAGE_VERSION = 13
    BAD_FILE_REVISION = 14
    BAD_SPEED = 15
    BAD_CHANNEL_NAME = 16
    BAD_NODES = 17
    BAD_COMPOSITE = 18
    BAD_DIAGNOSTIC_ADDRESSES = 19
    BAD_SIGNALS = 20
    BAD_DIAGNOSTIC_SIGNALS = 21
    BAD_DYNAMIC_FRAMES = 22
    BAD_FRAMES = 23
    BAD_SPORADIC_FRAMES = 24
    BAD_EVENT_TRIGGERED_FRAMES = 25
    BAD_DIAGNOSTIC_FRAMES = 26
    BAD_NODE_ATTRIBUTES = 27
    BAD_SCHEDULE_TABLES = 28
    BAD_SIGNAL_GROUPS = 29
    BAD_SIGNAL_ENCODING_TYPES = 30
    BAD_SIGNAL_REPRESENTATIONS = 31
    FILE_NOT_OPENED = 254
    NOT_LOADED = 255

class ArxmlStatus(enum.IntEnum):
    NOT_LOADED = 0
    LOADED = 1

class LoadResult(enum.IntEnum):
    OK = 0
    WITH_WARNINGS = 1
    UNSUPPORTED_KEYWORD = 2
    UNDEFINED_TAG = 3
    FILE_NOT_OPENED = 4
    FAILED = 6
    FORMAT_NOT_SUPPORTED = 9

class BusType(enum.IntEnum):
    UNKNOWN = 0
    CAN = 1
    LIN = 2
    ETHERNET = 3

class DecodedFrame(NamedTuple):
    timestamp: Optional[float]
    channel: str
    frame_id: int
    name: Optional[str]
    signals: Optional[dict[str, _Value]]
    data: bytes

class LogReader(Iterator[DecodedFrame]):
    def __iter__(self) -> LogReader: ...
    def __next__(self) -> DecodedFrame: ...
    def close(self) -> None: ...
    def __enter__(self) -> LogReader: ...
    def __exit__(self, *args: Any) -> bool: ...

class FrameCodec:
    """Decoding and encoding of frames named by identifier (int) or name (str)."""
    def decode(self, frame_id: _FrameKey, data: _Bytes, decode_choices: bool = True) -> dict[str, _Value]: ...
    def decode_many(self, frame_id: _FrameKey, payloads: Union[Sequence[_Bytes], _Bytes],
                    stride: int = 0) -> dict[str, array.array]: ...
    def encode(self, frame_id: _FrameKey, values: dict[str, _Value], strict: bool = True) -> bytes: ...
    @overload
    def decode_log(self, path_or_lines: Union[_Path, Iterable[Union[str, bytes]]],
                   decode_choices: bool = True, skip_unknown: bool = True) -> LogReader: ...
    @overload
    def decode_log(self, path_or_lines: _Path, decode_choices: bool = True, skip_unknown: bool = True, *,
                   columns: Literal[True], start: int = 0, stop: Optional[int] = None,
                   frames: Optional[Iterable[_FrameKey]] = None) -> LogColumns: ...
    @overload
    def decode_log(self, path_or_lines: _Path, decode_choices: bool = True, skip_unknown: bool = True, *,
                   columns: Literal[True], start: int = 0, stop: Optional[int] = None,
                   frames: Optional[Iterable[_FrameKey]] = None, chunk_frames: int,
                   by_message: bool = False) -> LogColumnChunks: ...
    def column_types(self, frame_id: _FrameKey) -> dict[str, str]: ...

class LogColumnChunks(Iterator[LogColumns]):
    """decode_log(path, columns=True, chunk_frames=N): LogColumns of at most N frames each (in
    log order, or with by_message=True the messages with the most frames waiting)."""
    def __iter__(self) -> LogColumnChunks: ...
    def __next__(self) -> LogColumns: ...

class FrameDatabase(FrameCodec):
    """load_frames(path): the frame codecs of a DBC file without its model. Pickles as its
    codecs: unpickling parses no file."""
    status: int
    log: str
    frame_names: List[str]
    frame_ids: List[int]
    def __len__(self) -> int: ...
    def __getstate__(self) -> tuple: ...
    def __setstate__(self, state: tuple) -> None: ...

def load_frames(path: _Path, encoding: Optional[str] = None, *, exact: bool = False,
                tolerant: Optional[bool] = None, short_names: bool = False,
                frames: Optional[Iterable[_FrameKey]] = None) -> FrameDatabase:
    """Reads a DBC file for decoding only: its frame codecs (those of `frames` when given)."""

class LogColumns(Dict[str, Dict[str, array.array]]):
    """decode_log(path, columns=True): frame name -> column name -> array.array."""
    channels: List[str]
    counts: Dict[str, int]

def to_pandas(columns_or_db: Union[LogColumns, FrameCodec], path: Optional[_Path] = None,
              **options: Any) -> Dict[str, Any]: ...

class _Frame:
    def decode(self, data: _Bytes, decode_choices: bool = True) -> dict[str, _Value]: ...
    def encode(self, values: dict[str, _Value], strict: bool = True) -> bytes: ...
    def decode_many(self, payloads: Union[Sequence[_Bytes], _Bytes], stride: int = 0) -> dict[str, array.array]: ...

# DBC

class DbcNode:
    name: str
    comment: str
    attributes: dict[str, str]
    tx_messages: list[DbcMessage]
    rx_messages: list[DbcMessage]
    rx_signals: list[DbcSignal]

class DbcSignal:
    name: str
    start_bit: int
    length: int
    byte_order: str
    is_signed: bool
    is_float: bool
    factor: float
    offset: float
    minimum: float
    maximum: float
    unit: str
    comment: str
    choices: dict[int, str]
    receivers: list[DbcNode]
    multiplexing: str
    is_multiplexer: bool
    multiplexer_value: Optional[int]
    multiplexer: Optional[DbcSignal]
    start_value: int
    attributes: dict[str, str]
    message: Optional[DbcMessage]
    def raw_value(self, data: _Bytes) -> int: ...

class DbcSignalGroup:
    name: str
    repetitions: int
    signals: list[DbcSignal]

class DbcMessage(_Frame):
    name: str
    frame_id: int
    raw_id: int
    is_extended: bool
    size: int
    cycle_time: Optional[int]
    delay_time: Optional[int]
    comment: str
    transmitter: Optional[DbcNode]
    transmitters: list[DbcNode]
    signals: list[DbcSignal]
    multiplexer: Optional[DbcSignal]
    attributes: dict[str, str]
    signal_groups: list[DbcSignalGroup]
    def signal(self, name: str) -> Optional[DbcSignal]: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[DbcSignal]: ...
    def __getitem__(self, name: str) -> DbcSignal: ...
    def __contains__(self, name: str) -> bool: ...

class DbcValueTable:
    name: str
    choices: dict[int, str]
    def __len__(self) -> int: ...

class DbcEnvironmentVariable:
    name: str
    type: str
    minimum: float
    maximum: float
    unit: str
    initial_value: float
    id: int
    access_type: str
    access_nodes: list[str]
    data_size: Optional[int]
    choices: dict[int, str]
    comment: str
    attributes: dict[str, str]

class DbcAttributeDefinition:
    name: str
    is_relation: bool
    object_type: str
    value_type: str
    values: list[str]
    default: str

class DbcFile(FrameCodec):
    path: str
    status: DbcStatus
    ok: bool
    log: list[str]
    database_name: str
    version: str
    baudrate: Optional[int]
    bit_timing: Optional[tuple[int, int, int]]
    comment: str
    new_symbols: list[str]
    info_text: str
    nodes: list[DbcNode]
    messages: list[DbcMessage]
    signals: list[DbcSignal]
    value_tables: list[DbcValueTable]
    environment_variables: list[DbcEnvironmentVariable]
    attribute_definitions: list[DbcAttributeDefinition]
    attributes: dict[str, str]
    def node(self, name: str) -> Optional[DbcNode]: ...
    def message(self, name: str) -> Optional[DbcMessage]: ...
    def message_by_id(self, frame_id: int) -> Optional[DbcMessage]: ...
    def save(self, path: Optional[_Path] = None) -> None: ...
    def set_signal_name(self, frame_id: _FrameKey, name: str, new_name: str) -> None: ...
    def set_signal_multiplex_indicator(self, frame_id: _FrameKey, name: str, indicator: str) -> None: ...
    def set_signal_start_bit(self, frame_id: _FrameKey, name: str, start_bit: int) -> None: ...
    def set_signal_length(self, frame_id: _FrameKey, name: str, length: int) -> None: ...
    def set_signal_byte_order(self, frame_id: _FrameKey, name: str, byte_order: str) -> None: ...
    def set_signal_signed(self, frame_id: _FrameKey, name: str, is_signed: bool) -> None: ...
    def set_signal_factor(self, frame_id: _FrameKey, name: str, factor: float, decimals: Optional[int] = None) -> None: ...
    def set_signal_offset(self, frame_id: _FrameKey, name: str, offset: float, decimals: Optional[int] = None) -> None: ...
    def set_signal_minimum(self, frame_id: _FrameKey, name: str, minimum: float, decimals: Optional[int] = None) -> None: ...
    def set_signal_maximum(self, frame_id: _FrameKey, name: str, maximum: float, decimals: Optional[int] = None) -> None: ...
    def set_signal_unit(self, frame_id: _FrameKey, name: str, unit: str) -> None: ...
    def set_message_id(self, frame_id: _FrameKey, new_raw_id: int) -> None: ...
    def set_message_name(self, frame_id: _FrameKey, name: str) -> None: ...
    def set_message_size(self, frame_id: _FrameKey, size: int) -> None: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[DbcMessage]: ...
    def __getitem__(self, key: _FrameKey) -> DbcMessage: ...
    def __contains__(self, key: _FrameKey) -> bool: ...

# LDF

class LdfNode:
    name: str
    is_master: bool
    diagnostic_address: int
    published_frames: list[LdfFrame]
    subscribed_frames: list[LdfFrame]
    subscribed_signals: list[LdfSignal]
    time_base: Optional[float]
    jitter: Optional[float]
    protocol: Optional[str]
    configured_nad: Optional[int]
    product_id: Optional[tuple[int, int, Optional[int]]]
    initial_nad: Optional[int]
    p2_min: Optional[float]
    st_min: Optional[float]
    n_as_timeout: Optional[float]
    n_cr_timeout: Optional[float]
    response_tolerance: Optional[int]
    response_error: Optional[LdfSignal]
    fault_state_signals: Optional[list[LdfSignal]]
    configurable_frames: Optional[list[tuple[str, Optional[int]]]]

class LdfEncodingType:
    name: str
    entries: list[dict[str, Any]]
    signals: list[LdfSignal]

class LdfSignal:
    name: str
    size: int
    bit_offset: int
    initial_values: list[int]
    is_byte_array: bool
    byte_order: str
    publisher: Optional[LdfNode]
    subscribers: list[LdfNode]
    encoding: Optional[LdfEncodingType]
    frame: Optional[LdfFrame]
    choices: dict[int, str]
    def raw_value(self, data: _Bytes) -> int: ...

class LdfDiagnosticSignal:
    name: str
    size: int
    initial_values: list[int]

class LdfFrame(_Frame):
    name: str
    frame_id: int
    length: int
    is_dynamic: bool
    publisher: Optional[LdfNode]
    signals: list[LdfSignal]
    def signal(self, name: str) -> Optional[LdfSignal]: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[LdfSignal]: ...

class LdfSporadicFrame:
    name: str
    frames: list[LdfFrame]

class LdfScheduleTable:
    name: str
    entries: list[tuple[str, Optional[str], int]]
    def __len__(self) -> int: ...

class LdfEventTriggeredFrame:
    name: str
    frame_id: int
    frames: list[LdfFrame]
    collision_schedule: Optional[LdfScheduleTable]

class LdfDiagnosticFrame:
    name: str
    frame_id: int
    is_master_request: bool
    signals: list[LdfDiagnosticSignal]

class LdfSignalGroup:
    name: str
    size: int
    signals: list[LdfSignal]

class LdfFile(FrameCodec):
    path: str
    status: LdfStatus
    ok: bool
    log: list[str]
    name: str
    protocol_version: str
    language_version: str
    file_revision: str
    speed: float
    channel_name: str
    comments: list[str]
    info_text: str
    frames: list[LdfFrame]
    sporadic_frames: list[LdfSporadicFrame]
    event_triggered_frames: list[LdfEventTriggeredFrame]
    diagnostic_frames: list[LdfDiagnosticFrame]
    signals: list[LdfSignal]
    diagnostic_signals: list[LdfDiagnosticSignal]
    nodes: list[LdfNode]
    master: Optional[LdfNode]
    slaves: list[LdfNode]
    encoding_types: list[LdfEncodingType]
    schedule_tables: list[LdfScheduleTable]
    signal_groups: list[LdfSignalGroup]
    def frame(self, name: str) -> Optional[LdfFrame]: ...
    def frame_by_id(self, frame_id: int) -> Optional[LdfFrame]: ...
    def signal(self, name: str) -> Optional[LdfSignal]: ...
    def node(self, name: str) -> Optional[LdfNode]: ...
    def save(self, path: Optional[_Path] = None) -> None: ...
    def rename_signal(self, name: str, new_name: str) -> None: ...
    def set_signal_size(self, name: str, bits: int) -> None: ...
    def set_signal_initial_values(self, name: str, values: Sequence[int]) -> None: ...
    def set_signal_bit_offset(self, name: str, bit_offset: int) -> None: ...
    def rename_frame(self, name: str, new_name: str) -> None: ...
    def set_frame_length(self, name: str, length: int) -> None: ...
    def set_frame_id(self, name: str, frame_id: int) -> None: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[LdfFrame]: ...
    def __getitem__(self, key: _FrameKey) -> LdfFrame: ...

# ARXML

class ArxmlSignal:
    name: str
    length: int
    start_position: int
    byte_order: str
    minimum: float
    maximum: float
    unit: str
    description: str
    pdu: Optional[ArxmlPdu]
    init_value: Optional[float]
    compu_scales: list[dict[str, Any]]

class ArxmlSignalGroup:
    name: str
    signals: list[ArxmlSignal]

class ArxmlPdu:
    name: str
    frame_name: str
    identifier: int
    length: int
    is_extended: bool
    rx_behavior: str
    tx_behavior: str
    cycle_time: Optional[float]
    time_offset: Optional[float]
    repetitions: Optional[int]
    minimum_delay: Optional[float]
    unused_bit_pattern: int
    signals: list[ArxmlSignal]
    signal_groups: list[ArxmlSignalGroup]
    def signal(self, name: str) -> Optional[ArxmlSignal]: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[ArxmlSignal]: ...

class ArxmlPduGroup:
    name: str
    direction: str
    mode: str
    pdus: list[ArxmlPdu]

class ArxmlEcu:
    name: str
    long_name: str
    description: str
    diagnostic_address: int
    sleep_mode_supported: bool
    wake_up_over_bus_supported: bool
    pdu_groups: list[ArxmlPduGroup]
    tx_pdus: list[ArxmlPdu]
    rx_pdus: list[ArxmlPdu]

class ArxmlCluster:
    name: str
    kind: str
    baudrate: int
    can_fd_baudrate: int
    protocol_name: str
    protocol_version: str
    ecus: list[ArxmlEcu]
    pdus: list[ArxmlPdu]
    def pdu(self, name: str) -> Optional[ArxmlPdu]: ...

class ArxmlFile:
    status: ArxmlStatus
    ok: bool
    log: list[str]
    clusters: list[ArxmlCluster]
    pdus: list[ArxmlPdu]
    ecus: list[ArxmlEcu]
    signals: list[ArxmlSignal]
    def cluster(self, name: str) -> Optional[ArxmlCluster]: ...
    def pdu(self, name: str) -> Optional[ArxmlPdu]: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[ArxmlPdu]: ...

# Network configuration

class NetEcu:
    name: str
    tx_messages: list[NetMessage]
    rx_messages: list[NetMessage]
    rx_signals: list[NetSignal]
    is_master: bool
    is_slave: bool
    properties: dict[str, str]
    file_attributes: dict[str, str]

class NetSignal:
    name: str
    start_bit: int
    length: int
    byte_order: str
    is_signed: bool
    value_type: str
    factor: float
    offset: float
    minimum: float
    maximum: float
    unit: str
    comment: str
    choices: dict[int, str]
    value_table: list[tuple[int, int, float, float, str]]
    receivers: list[NetEcu]
    message: Optional[NetMessage]
    properties: dict[str, str]
    file_attributes: dict[str, str]
    def raw_value(self, data: _Bytes) -> int: ...

class NetMessage(_Frame):
    name: str
    frame_id: int
    size: int
    transmitter: Optional[NetEcu]
    receivers: list[NetEcu]
    signals: list[NetSignal]
    properties: dict[str, str]
    file_attributes: dict[str, str]
    def signal(self, name: str) -> Optional[NetSignal]: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[NetSignal]: ...

class NetDatabase(FrameCodec):
    name: str
    bus_type: BusType
    from_arxml: bool
    ecus: list[NetEcu]
    messages: list[NetMessage]
    signals: list[NetSignal]
    properties: dict[str, str]
    file_attributes: dict[str, str]
    def message(self, name: str) -> Optional[NetMessage]: ...
    def message_by_id(self, frame_id: int) -> Optional[NetMessage]: ...
    def save(self, path: _Path) -> None: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[NetMessage]: ...
    def __getitem__(self, key: _FrameKey) -> NetMessage: ...

class NetworkConfig(FrameCodec):
    results: list[LoadResult]
    log: list[str]
    databases: list[NetDatabase]
    def __init__(self, paths: Union[_Path, Iterable[_Path], None] = None, encoding: Optional[str] = None, *, exact: bool = False, tolerant: Optional[bool] = None) -> None: ...
    def add(self, path: _Path) -> LoadResult: ...
    def database(self, name: str) -> Optional[NetDatabase]: ...
    def message(self, name: str) -> Optional[NetMessage]: ...
    def message_by_id(self, frame_id: int) -> Optional[NetMessage]: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[NetDatabase]: ...
    def __getitem__(self, key: Union[int, str]) -> NetDatabase: ...

class DiagService:
    name: str
    service_id: int
    has_request: bool
    def encode_request(self, **params: Union[int, float, str, bytes]) -> bytes: ...

class DiagEcu:
    name: str
    long_name: str
    is_base: bool
    layer: Optional[str]
    services: List[DiagService]
    def decode(self, message: bytes) -> Dict[str, Any]: ...

class DiagDatabase:
    path: str
    format: str
    log: List[str]
    ecus: List[DiagEcu]

__version__: str

def load(path: _Path, format: Optional[str] = None, encoding: Optional[str] = None, *, exact: bool = False, tolerant: Optional[bool] = None, language: Optional[str] = None, short_names: bool = False) -> Union[DbcFile, LdfFile, ArxmlFile, DiagDatabase]:
    """Reads a network or diagnostic description file as the tool does (DBC tolerantly, ARXML
    whole, diagnostics as written; exact=True: the described readers) and returns its model."""

def version() -> str: ...

# SOME/IP services (whole-document reading)

class SomeIpType:
    name: str
    path: str
    kind: str
    cpp_type: str
    element: Optional[SomeIpType]
    size: int
    members: list[tuple[str, Optional[SomeIpType]]]
    enumerators: dict[str, int]

class SomeIpMethod:
    name: str
    id: Optional[int]
    fire_and_forget: bool
    transport: str
    arguments: list[tuple[str, str, Optional[SomeIpType]]]

class SomeIpEvent:
    name: str
    id: Optional[int]
    transport: str
    type: Optional[SomeIpType]

class SomeIpField:
    name: str
    type: Optional[SomeIpType]
    getter_id: Optional[int]
    setter_id: Optional[int]
    notifier_id: Optional[int]
    transport: str

class SomeIpEventGroup:
    name: str
    id: Optional[int]
    events: list[str]

class SomeIpInstance:
    name: str
    role: str
    instance_id: Optional[int]
    deployment: str
    providers: list[tuple[str, str]]
    event_groups: list[str]
    discovery: Optional[dict[str, float]]

class SomeIpService:
    name: str
    interface: Optional[str]
    platform: str
    service_id: Optional[int]
    major_version: Optional[int]
    minor_version: Optional[int]
    deployments: list[str]
    methods: list[SomeIpMethod]
    events: list[SomeIpEvent]
    fields: list[SomeIpField]
    event_groups: list[SomeIpEventGroup]
    instances: list[SomeIpInstance]

class SomeIpDatabase:
    services: list[SomeIpService]
    types: list[SomeIpType]
    counts: dict[str, int]
    files: list[str]
    log: list[str]
    def service(self, name: str) -> Optional[SomeIpService]: ...
    def header(self, service: Optional[str] = None) -> str: ...

def load_someip(paths: Union[_Path, Iterable[_Path]], *, exact: bool = False) -> SomeIpDatabase:
    """Reads ARXML files together into one SOME/IP database."""
